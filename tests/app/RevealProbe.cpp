// Reveals its one argument in the file manager and exits normally, so that a test can check the
// exit status of a whole process that revealed a file: in the ASan build, LeakSanitizer's check at
// exit decides it.
#include "app/desktop/linux/FileManagerBus.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: reveal_probe PATH\n", stderr);
        return 2;
    }
    revealAndWait(argv[1], 25000); // the program's reveal, waited for here so the process ends after it
    return 0;
}
