#pragma once

// The program's entry, run inside the voice SDK's crash guard: records the
// guard markers around it and returns 0 whatever the program returned.
int guardedMain(int argc, char *argv[]);

// Reads the arguments, hands them to a running instance or starts this one,
// runs the event loop and shuts down. Returns the event loop's result.
// "-v" and "-version" print the version (no line feed) and end the process.
int realmain(int argc, char *argv[]);
