// Settings file on Windows: the candidate order (config.ini in the working directory, then
// Velbrin\config.ini in the roaming application-data folder), the whole-file read (devices,
// directories, the size cap, names outside the ANSI code page) and numbers read with a point
// whatever the C library's locale.
#include "app/SettingsFile.h"

#include "engine/core/win32/WideText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <windows.h>

namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& contents)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << contents;
}

// A fresh directory whose name is outside the ANSI code page, removed with everything in it.
struct TemporaryDirectory {
    fs::path path = fs::temp_directory_path() / (L"velbrin-\u00e9\u4e2d-" + std::to_wstring(GetCurrentProcessId()));
    TemporaryDirectory() { fs::create_directories(path); }
    ~TemporaryDirectory() { fs::remove_all(path); }
};

std::string utf8(const fs::path& path) { return orvex::fromWide(path.wstring()); }

} // namespace

TEST(SettingsFileWin32, ReadsFilesOnDiskUpToTheCapOnly)
{
    TemporaryDirectory directory;
    const fs::path exact = directory.path / L"exact \u00fc.ini", larger = directory.path / "larger";
    writeFile(exact, std::string(MAX_SETTINGS_FILE_SIZE, 'x'));
    writeFile(larger, std::string(MAX_SETTINGS_FILE_SIZE + 1, 'x'));
    std::string contents;
    EXPECT_TRUE(readSettingsFile(utf8(exact), contents));
    EXPECT_EQ(contents.size(), MAX_SETTINGS_FILE_SIZE);
    for (const std::string& path : { utf8(larger), utf8(directory.path), std::string("NUL"), std::string("CON"),
             utf8(directory.path / "missing") })
        EXPECT_FALSE(readSettingsFile(path, contents)) << path;
}

TEST(SettingsFileWin32, NumbersReadWithAPointUnderACommaLocale)
{
    if (!std::setlocale(LC_ALL, "German_Germany.1252"))
        GTEST_SKIP() << "no German locale";
    Settings settings;
    applySettingsText(settings, "uiScaleMultiplier=1.5\nwindowHeight=1e400\nscrollSpeedMultiplier=2,5");
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(settings.uiScaleMultiplier, 1.5);
    EXPECT_EQ(settings.windowHeight, 757) << "a non-finite number is refused";
    EXPECT_EQ(settings.scrollSpeedMultiplier, 2) << "a comma is not a decimal point";
}

TEST(SettingsFileWin32, UsesTheFirstReadableCandidate)
{
    const std::string folder = userConfigFolder();
    ASSERT_TRUE(fs::is_directory(orvex::toWide(folder))) << "the roaming folder: " << folder;
    const fs::path roaming = orvex::toWide(configFileInFolder(folder));
    EXPECT_EQ(roaming, fs::path(orvex::toWide(folder)) / "Velbrin" / "config.ini");
    if (fs::exists(roaming))
        GTEST_SKIP() << "a real " << roaming.string() << " exists; it is not touched";
    const std::string oversized = "windowWidth=9\n" + std::string(MAX_SETTINGS_FILE_SIZE, ' ');
    const struct {
        const char* name;
        const char* workingFile; // contents, "DIR" for a directory, or null
        const char* roamingFile; // contents or null
        bool loaded;
        double windowWidth;
    } rows[] = {
        { "no file anywhere", nullptr, nullptr, false, 1280 },
        { "working directory wins", "windowWidth=1", "windowWidth=2", true, 1 },
        { "empty working file still wins", "", "windowWidth=2", true, 1280 },
        { "unreadable working file falls back", "DIR", "windowWidth=2", true, 2 },
        { "oversized working file falls back", oversized.c_str(), "windowWidth=2", true, 2 },
        { "roaming folder only", nullptr, "windowWidth=2", true, 2 },
    };
    const fs::path previous = fs::current_path();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TemporaryDirectory work;
        if (row.workingFile && std::string(row.workingFile) == "DIR")
            fs::create_directories(work.path / "config.ini");
        else if (row.workingFile)
            writeFile(work.path / "config.ini", row.workingFile);
        if (row.roamingFile)
            writeFile(roaming, row.roamingFile);
        fs::current_path(work.path);
        Settings settings;
        const bool loaded = loadSettings(settings);
        fs::current_path(previous);
        fs::remove(roaming);
        EXPECT_EQ(loaded, row.loaded);
        EXPECT_EQ(settings.windowWidth, row.windowWidth);
    }
    fs::remove(roaming.parent_path()); // only if empty: the folder may hold other files
}
