// SettingsFile on POSIX: open/fstat/read for the whole-file read, the environment and the password
// database for the configuration folder, and strtod_l with a private "C" locale object, so numbers
// read the same whatever setlocale() the process (or a library it loads) has made.
#include "app/SettingsFile.h"

#include "app/SettingsParser.h"

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

// strtod's reading: leading whitespace, sign, decimal, exponent, hexadecimal, inf and nan forms.
// Trailing text is ignored. A result that is not finite (inf, nan, an overflowing 1e400) is
// refused as well: every number setting is a size or a factor, and a non-finite one would reach a
// float-to-integer conversion or a clamp that NaN passes through.
bool readNumber(const std::string& text, double& number)
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

// The value as a decimal integer ("+"/"-" then digits up to the first other byte; anything else
// reads 0), then 0 → false and 1 → true. Every other integer leaves the field alone. The magnitude
// saturates at 2, which already means "other", so long digit runs cannot overflow.
void readBoolean(const std::string& text, bool& flag)
{
    std::size_t position = 0;
    bool negative = false;
    if (position < text.size() && (text[position] == '+' || text[position] == '-'))
        negative = text[position++] == '-';
    unsigned magnitude = 0;
    for (; position < text.size() && text[position] >= '0' && text[position] <= '9'; ++position)
        magnitude = magnitude >= 2 ? 2 : magnitude * 10 + unsigned(text[position] - '0');
    if (magnitude == 0)
        flag = false; // also empty, "true", "yes", "-0"
    else if (magnitude == 1 && !negative)
        flag = true;
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

bool applySetting(Settings& settings, std::string_view key, const std::string& value)
{
    struct NumberKey { std::string_view name; double Settings::*field; };
    static constexpr NumberKey numberKeys[] = {
        { "windowWidth", &Settings::windowWidth },
        { "windowHeight", &Settings::windowHeight },
        { "uiScaleMultiplier", &Settings::uiScaleMultiplier },
        { "scrollSpeedMultiplier", &Settings::scrollSpeedMultiplier },
        { "middleMouseSpeedMultiplier", &Settings::middleMouseSpeedMultiplier },
        { "mouseDragInertia", &Settings::mouseDragInertia },
    };
    for (const NumberKey& entry : numberKeys) {
        if (key == entry.name) {
            readNumber(value, settings.*entry.field);
            return true;
        }
    }
    if (key == "lockWindowSize") {
        readBoolean(value, settings.lockWindowSize);
        return true;
    }
    if (key == "smoothScrolling") {
        readBoolean(value, settings.smoothScrolling);
        return true;
    }
    return false;
}

void applySettingsText(Settings& settings, std::string_view bytes)
{
    SettingsParser parser;
    for (char byte : bytes) {
        if (parser.feed(static_cast<unsigned char>(byte)))
            applySetting(settings, parser.key(), parser.value());
    }
    if (parser.finish())
        applySetting(settings, parser.key(), parser.value());
}

bool loadSettings(Settings& settings)
{
    static const std::string folder = userConfigFolder();
    std::string contents;
    for (const std::string& path : { std::string("config.ini"), configFileInFolder(folder) }) {
        if (readSettingsFile(path, contents)) {
            applySettingsText(settings, contents);
            return true;
        }
    }
    return false;
}
