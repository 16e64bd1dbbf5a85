// A preload library for the end-to-end tests: fstatat relative to a directory descriptor (how the
// scanner reads every entry's size) first sleeps VELBRIN_E2E_STAT_DELAY_US microseconds. A scan of a
// small test tree then lasts long enough to watch its progress and to cancel it, however fast the
// machine and however warm its caches. Path-based calls (fonts, settings) are not slowed.
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>

extern "C" int fstatat(int directory, const char* path, struct stat* status, int flags)
{
    using Real = int (*)(int, const char*, struct stat*, int);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "fstatat"));
    static const long delay = [] {
        const char* text = std::getenv("VELBRIN_E2E_STAT_DELAY_US");
        return text ? std::atol(text) : 0L;
    }();
    if (directory >= 0 && delay > 0) {
        const timespec pause { delay / 1000000, (delay % 1000000) * 1000 };
        nanosleep(&pause, nullptr);
    }
    return real(directory, path, status, flags);
}
