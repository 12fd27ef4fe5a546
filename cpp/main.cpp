#include "realmain.h"

// The process entry: the whole program runs inside the voice SDK's crash
// guard, and the process always ends with code 0.
int main(int argc, char *argv[])
{
    return guardedMain(argc, argv);
}
