#include <QByteArray>
#include <cstdio>
#include <cstring>

#include "version.h"

// The program's entry. "-v" and "-version" print the version and end the
// program at once; the full start-up sequence lives in the application object.
int main(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-v") == 0 || std::strcmp(argv[i], "-version") == 0) {
            std::printf("%s\n", tavriVersion());
            return 0;
        }
    }
    return 0;
}
