// The program's own entry, for tests that run it as a process: after the
// entry returns it prints the voice SDK's crash-data markers in the order
// they were recorded ("MARKER <text>") and the entry's result ("EXIT <n>").
#include <cstdio>

#include "ostrelsdk_control.h"
#include "realmain.h"

int main(int argc, char *argv[])
{
    const int result = guardedMain(argc, argv);
    for (int i = 0; i < oxc_crash_marker_count(); ++i)
        std::printf("MARKER %s\n", oxc_crash_marker(i));
    std::printf("EXIT %d\n", result);
    std::fflush(stdout);
    return result;
}
