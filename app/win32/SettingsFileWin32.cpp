// SettingsFile on Windows: CreateFileW/ReadFile for the whole-file read (read sharing, so an
// editor holding the file open does not hide it), the shell's roaming application-data folder for
// the second candidate, and _strtod_l with a private "C" locale, so numbers read the same whatever
// setlocale() the process has made. Paths are UTF-8 here and go through orvex::toWidePath.
#include "app/SettingsFile.h"

#include "engine/core/win32/WideText.h"

#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <windows.h>
#include <shlobj.h>

namespace {

// The "C" numeric locale, created once and never freed (it lives as long as the process).
_locale_t cNumericLocale()
{
    static const _locale_t locale = _create_locale(LC_NUMERIC, "C");
    return locale;
}

} // namespace

// The C runtime's strtod in the C locale: whitespace, sign, decimal, exponent, inf and nan (this
// runtime reads no hexadecimal forms); trailing text is ignored, non-finite results are refused.
bool readSettingsNumber(const std::string& text, double& number)
{
    const _locale_t locale = cNumericLocale();
    if (!locale)
        return false;
    char* end = nullptr;
    const double converted = _strtod_l(text.c_str(), &end, locale);
    if (end == text.c_str() || !std::isfinite(converted))
        return false;
    number = converted;
    return true;
}

std::string userConfigFolder()
{
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return {};
    return orvex::fromWide(folder);
}

std::string configFileInFolder(const std::string& folder)
{
    if (folder.empty())
        return "Velbrin\\config.ini";
    const char last = folder.back();
    return folder + (last == '\\' || last == '/' ? "" : "\\") + "Velbrin\\config.ini";
}

bool readSettingsFile(const std::string& path, std::string& contents)
{
    const HANDLE file = CreateFileW(orvex::toWidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    // Only a file on disk: a console, NUL or a pipe never ends or blocks.
    LARGE_INTEGER size {};
    bool ok = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) && size.QuadPart >= 0 &&
              std::size_t(size.QuadPart) <= MAX_SETTINGS_FILE_SIZE;
    if (ok) {
        const std::size_t expected = std::size_t(size.QuadPart);
        // One byte of room beyond the size, so a file that grew since the size was read is noticed.
        contents.assign(expected + 1, '\0');
        std::size_t total = 0;
        while (total < contents.size()) {
            DWORD got = 0;
            if (!ReadFile(file, contents.data() + total, DWORD(contents.size() - total), &got, nullptr)) {
                ok = false;
                break;
            }
            if (got == 0)
                break;
            total += got;
        }
        ok = ok && total == expected;
        contents.resize(ok ? expected : 0);
    }
    CloseHandle(file);
    return ok;
}
