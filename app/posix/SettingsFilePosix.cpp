// SettingsFile on POSIX: open/fstat/read for the whole-file read, the environment and the password
// database for the configuration folder, and strtod_l with a private "C" locale object, so numbers
// read the same whatever setlocale() the process (or a library it loads) has made.
#include "app/SettingsFile.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <locale.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The "C" numeric locale, created once and never freed (it lives as long as the process).
locale_t cNumericLocale()
{
    static const locale_t locale = newlocale(LC_NUMERIC_MASK, "C", locale_t(nullptr));
    return locale;
}

std::string homeFromPasswordDatabase()
{
    long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? std::size_t(suggested) : 16384);
    passwd entry {};
    passwd* found = nullptr;
    while (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE && buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    return found && found->pw_dir ? std::string(found->pw_dir) : std::string();
}

} // namespace

// strtod's reading: leading whitespace, sign, decimal, exponent, hexadecimal, inf and nan forms.
// Trailing text is ignored. A result that is not finite (inf, nan, an overflowing 1e400) is
// refused as well: every number setting is a size or a factor, and a non-finite one would reach a
// float-to-integer conversion or a clamp that NaN passes through.
bool readSettingsNumber(const std::string& text, double& number)
{
    const locale_t locale = cNumericLocale();
    if (locale == locale_t(nullptr))
        return false;
    char* end = nullptr;
    const double converted = strtod_l(text.c_str(), &end, locale);
    if (end == text.c_str() || !std::isfinite(converted))
        return false;
    number = converted;
    return true;
}

std::string userConfigFolder()
{
    // Relative values of XDG_CONFIG_HOME are invalid by the base-directory convention and ignored.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    std::string base = home && home[0] ? std::string(home) : homeFromPasswordDatabase();
    return base.empty() ? std::string() : base + "/.config";
}

std::string configFileInFolder(const std::string& folder)
{
    if (folder.empty())
        return "Velbrin/config.ini";
    return folder.back() == '/' ? folder + "Velbrin/config.ini" : folder + "/Velbrin/config.ini";
}

bool readSettingsFile(const std::string& path, std::string& contents)
{
    // O_NONBLOCK keeps open() from waiting for a writer when the name is a FIFO; the file type is
    // checked right after, before a single byte is read.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat status {};
    bool ok = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size >= 0
        && std::size_t(status.st_size) <= MAX_SETTINGS_FILE_SIZE;
    if (ok) {
        const std::size_t size = std::size_t(status.st_size);
        // One byte of room beyond the size, so a file that grew since fstat is noticed.
        contents.assign(size + 1, '\0');
        std::size_t total = 0;
        while (total < contents.size()) {
            const ssize_t got = read(fd, contents.data() + total, contents.size() - total);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                ok = got == 0;
                break;
            }
            total += std::size_t(got);
        }
        ok = ok && total == size;
        contents.resize(ok ? size : 0);
    }
    close(fd);
    return ok;
}
