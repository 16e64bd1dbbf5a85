// Settings file: applying pairs to the record (numbers, integer booleans, key matching, reloads),
// hostile input, the whole-file read, the order in which the two candidate files are tried, and
// number reading under a comma-decimal locale.
#include "app/SettingsFile.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

void expectSameSettings(const Settings& actual, const Settings& expected)
{
    EXPECT_EQ(actual.lockWindowSize, expected.lockWindowSize);
    EXPECT_EQ(actual.windowWidth, expected.windowWidth);
    EXPECT_EQ(actual.windowHeight, expected.windowHeight);
    EXPECT_EQ(actual.uiScaleMultiplier, expected.uiScaleMultiplier);
    EXPECT_EQ(actual.smoothScrolling, expected.smoothScrolling);
    EXPECT_EQ(actual.scrollSpeedMultiplier, expected.scrollSpeedMultiplier);
    EXPECT_EQ(actual.middleMouseSpeedMultiplier, expected.middleMouseSpeedMultiplier);
    EXPECT_EQ(actual.mouseDragInertia, expected.mouseDragInertia);
    EXPECT_EQ(actual.nodeBudget, expected.nodeBudget);
}

void expectAllFinite(const Settings& settings)
{
    for (double number : { settings.windowWidth, settings.windowHeight, settings.uiScaleMultiplier,
             settings.scrollSpeedMultiplier, settings.middleMouseSpeedMultiplier, settings.mouseDragInertia })
        EXPECT_TRUE(std::isfinite(number));
}

// A fresh directory under the system's temporary folder, removed with everything in it.
class TemporaryDirectory {
public:
    TemporaryDirectory()
    {
        std::string pattern = (fs::temp_directory_path() / "velbrin-settings-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            ADD_FAILURE() << "mkdtemp failed";
        root = pattern;
    }
    ~TemporaryDirectory() { fs::remove_all(root); }
    const fs::path& path() const { return root; }

private:
    fs::path root;
};

void writeFile(const fs::path& path, const std::string& contents)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << contents;
}

// -- Applying pairs to the record --

struct ApplyRow {
    const char* name;
    std::string text;
    void (*expect)(Settings&); // turns the defaults into the expected record
};

const ApplyRow applyRows[] = {
    { "NothingKeepsDefaults", "", [](Settings&) {} },
    { "NumberPlain", "windowWidth=1600", [](Settings& s) { s.windowWidth = 1600; } },
    { "NumberNotConvertedKeeps", "windowWidth=abc\nwindowHeight=", [](Settings&) {} },
    { "NumberTrailingTextIgnored", "windowWidth=800px", [](Settings& s) { s.windowWidth = 800; } },
    { "NumberFormsOfStrtod", "windowWidth=+12.5e1\nwindowHeight=0x10\nuiScaleMultiplier=.5",
        [](Settings& s) { s.windowWidth = 125; s.windowHeight = 16; s.uiScaleMultiplier = 0.5; } },
    { "NumberCommaIsNotADecimalPoint", "uiScaleMultiplier=1,5", [](Settings& s) { s.uiScaleMultiplier = 1; } },
    { "NumberNoRangeCheck", "windowWidth=-5\nwindowHeight=1e300\nscrollSpeedMultiplier=1e-400",
        [](Settings& s) { s.windowWidth = -5; s.windowHeight = 1e300; s.scrollSpeedMultiplier = 0; } },
    { "NumberNonFiniteRefused", "windowWidth=1e400\nwindowHeight=nan\nuiScaleMultiplier=-inf\nmouseDragInertia=infinity",
        [](Settings&) {} },
    { "NumberNegativeZero", "mouseDragInertia=-0", [](Settings& s) { s.mouseDragInertia = -0.0; } },
    { "AllNumberKeys", "windowHeight=600\nuiScaleMultiplier=1.25\nscrollSpeedMultiplier=2\n"
                       "middleMouseSpeedMultiplier=3\nmouseDragInertia=0",
        [](Settings& s) { s.windowHeight = 600; s.uiScaleMultiplier = 1.25; s.scrollSpeedMultiplier = 2;
            s.middleMouseSpeedMultiplier = 3; s.mouseDragInertia = 0; } },
    { "NodeBudget", "nodeBudget=100000", [](Settings& s) { s.nodeBudget = 100000; } },
    { "BoolOneSetsTrue", "lockWindowSize=1\nsmoothScrolling=+1x", [](Settings& s) { s.lockWindowSize = true; } },
    { "BoolZeroSetsFalse", "smoothScrolling=0", [](Settings& s) { s.smoothScrolling = false; } },
    { "BoolEmptySetsFalse", "smoothScrolling=", [](Settings& s) { s.smoothScrolling = false; } },
    { "BoolWordSetsFalse", "smoothScrolling=true", [](Settings& s) { s.smoothScrolling = false; } },
    { "BoolMinusZeroSetsFalse", "smoothScrolling=-0", [](Settings& s) { s.smoothScrolling = false; } },
    { "BoolLeadingSpaceReadsZero", "smoothScrolling=\" 1\"", [](Settings& s) { s.smoothScrolling = false; } },
    { "BoolOtherIntegersKeep", "lockWindowSize=2\nsmoothScrolling=-1\nsmoothScrolling=99999999999999999999999999",
        [](Settings&) {} },
    { "BoolLeadingZerosStillOne", "lockWindowSize=0000000000000000000000001", [](Settings& s) { s.lockWindowSize = true; } },
    { "LaterKeyWins", "windowWidth=1\nwindowWidth=2", [](Settings& s) { s.windowWidth = 2; } },
    { "KeyIsCaseSensitive", "WindowWidth=900\nwindowwidth=900", [](Settings&) {} },
    { "SectionDoesNotMatter", "[view]\nuiScaleMultiplier=1.5", [](Settings& s) { s.uiScaleMultiplier = 1.5; } },
    { "NulInsideKeyOrValue", std::string("windowWidth\0=5\nwindowHeight=5\0" "7", 31), [](Settings& s) { s.windowHeight = 5; } },
};

class SettingsApplyTest : public testing::TestWithParam<ApplyRow> { };

TEST_P(SettingsApplyTest, AppliesToDefaults)
{
    Settings expected;
    GetParam().expect(expected);
    Settings actual;
    applySettingsText(actual, GetParam().text);
    expectSameSettings(actual, expected);
    EXPECT_EQ(std::signbit(actual.mouseDragInertia), std::signbit(expected.mouseDragInertia));
}

INSTANTIATE_TEST_SUITE_P(Rows, SettingsApplyTest, testing::ValuesIn(applyRows),
    [](const testing::TestParamInfo<ApplyRow>& info) { return std::string(info.param.name); });

// What the scanner is given for the setting's value.
TEST(SettingsFile, NodeBudgetIsAWholeCountOrTheDefault)
{
    const struct {
        double value;
        uint64_t budget;
    } rows[] = {
        { 8e6, 8'000'000 }, { 0, 0 }, { 12.9, 12 }, { -1, TreeFolding::defaultBudget },
        { -0.0, 0 }, { 1e30, TreeFolding::never }, { 1.8e19, 18'000'000'000'000'000'000u },
    };
    for (const auto& row : rows) {
        Settings settings;
        settings.nodeBudget = row.value;
        EXPECT_EQ(nodeBudget(settings), row.budget) << row.value;
    }
}

TEST(SettingsFile, ReloadKeepsCurrentValuesOfMissingKeys)
{
    Settings current;
    current.lockWindowSize = true;
    current.windowWidth = 1000;
    current.uiScaleMultiplier = 1.5;
    current.smoothScrolling = false;
    current.mouseDragInertia = 0;
    Settings expected = current;
    expected.scrollSpeedMultiplier = 3;
    applySettingsText(current, "scrollSpeedMultiplier=3\n");
    expectSameSettings(current, expected);
}

TEST(SettingsFile, HostileBytesNeverCrashOrGiveNonFiniteNumbers)
{
    std::mt19937 random(12345);
    std::string binary(256 * 1024, '\0');
    for (char& c : binary)
        c = static_cast<char>(random());
    // Binary noise with real keys spliced in, so the noise reaches the number and bool readers.
    std::string spliced;
    for (int i = 0; i < 2000; ++i)
        spliced += "\nwindowWidth=" + binary.substr(std::size_t(i) * 37, 20) + "\nlockWindowSize=" + binary.substr(std::size_t(i) * 11, 5);
    const std::string longLine(MAX_SETTINGS_FILE_SIZE, 'a');
    const std::string deepEscapes(100000, '\\');
    for (const std::string* text : std::initializer_list<const std::string*> { &binary, &spliced, &longLine, &deepEscapes }) {
        Settings settings;
        applySettingsText(settings, *text);
        expectAllFinite(settings);
    }
}

// -- Reading a file whole --

TEST(SettingsFile, ReadsRegularFilesUpToTheCapOnly)
{
    TemporaryDirectory directory;
    const fs::path exact = directory.path() / "exact", larger = directory.path() / "larger",
                   huge = directory.path() / "huge", empty = directory.path() / "empty";
    writeFile(exact, std::string(MAX_SETTINGS_FILE_SIZE, 'x'));
    writeFile(larger, std::string(MAX_SETTINGS_FILE_SIZE + 1, 'x'));
    writeFile(huge, std::string(10 * 1000 * 1000, '\0'));
    writeFile(empty, "");
    ASSERT_EQ(mkfifo((directory.path() / "fifo").c_str(), 0600), 0);

    std::string contents = "stale";
    EXPECT_TRUE(readSettingsFile(exact.string(), contents));
    EXPECT_EQ(contents.size(), MAX_SETTINGS_FILE_SIZE);
    EXPECT_TRUE(readSettingsFile(empty.string(), contents));
    EXPECT_TRUE(contents.empty());
    // Failures: too large, a FIFO (must not wait for a writer), a directory, a device, a missing file.
    for (const std::string& path : { larger.string(), huge.string(), (directory.path() / "fifo").string(),
             directory.path().string(), std::string("/dev/zero"), (directory.path() / "missing").string() })
        EXPECT_FALSE(readSettingsFile(path, contents)) << path;
}

// -- Which file is used --

struct LookupRow {
    const char* name;
    const char* workingFile;   // config.ini in the working directory: contents, "DIR" for a directory, or null
    const char* xdgFile;       // $XDG_CONFIG_HOME/Velbrin/config.ini, or null
    const char* homeFile;      // $HOME/.config/Velbrin/config.ini, or null
    const char* xdgVariable;   // "SET" for the xdg folder, another text verbatim, or null to unset
    bool loaded;
    double windowWidth;
};

const std::string oversized = "windowWidth=9\n" + std::string(MAX_SETTINGS_FILE_SIZE, ' ');

const LookupRow lookupRows[] = {
    { "NoFileAnywhere", nullptr, nullptr, nullptr, "SET", false, 1280 },
    { "WorkingDirectoryOnly", "windowWidth=1", nullptr, nullptr, "SET", true, 1 },
    { "WorkingDirectoryWinsOverConfigFolder", "windowWidth=1", "windowWidth=2", nullptr, "SET", true, 1 },
    { "EmptyWorkingFileStillWins", "", "windowWidth=2", nullptr, "SET", true, 1280 },
    { "UnreadableWorkingFileFallsBack", "DIR", "windowWidth=2", nullptr, "SET", true, 2 },
    { "OversizedWorkingFileFallsBack", oversized.c_str(), "windowWidth=2", nullptr, "SET", true, 2 },
    { "XdgConfigHome", nullptr, "windowWidth=2", "windowWidth=3", "SET", true, 2 },
    { "XdgSetButEmptyDoesNotFallToHome", nullptr, nullptr, "windowWidth=3", "SET", false, 1280 },
    { "HomeConfigWhenXdgUnset", nullptr, "windowWidth=2", "windowWidth=3", nullptr, true, 3 },
    { "RelativeXdgIgnored", nullptr, nullptr, "windowWidth=3", "relative/dir", true, 3 },
};

class SettingsLookupTest : public testing::TestWithParam<LookupRow> { };

// loadSettings caches the configuration folder for the process, so each lookup runs in a child
// with its own environment and working directory; the child reports "loaded width" on a pipe.
TEST_P(SettingsLookupTest, UsesFirstReadableCandidate)
{
    const LookupRow& row = GetParam();
    TemporaryDirectory directory;
    const fs::path work = directory.path() / "work", xdg = directory.path() / "xdg", home = directory.path() / "home";
    fs::create_directories(work);
    fs::create_directories(home);
    if (row.workingFile && std::string(row.workingFile) == "DIR")
        fs::create_directories(work / "config.ini");
    else if (row.workingFile)
        writeFile(work / "config.ini", row.workingFile);
    if (row.xdgFile)
        writeFile(xdg / "Velbrin/config.ini", row.xdgFile);
    if (row.homeFile)
        writeFile(home / ".config/Velbrin/config.ini", row.homeFile);

    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(report[0]);
        setenv("HOME", home.c_str(), 1);
        if (!row.xdgVariable)
            unsetenv("XDG_CONFIG_HOME");
        else
            setenv("XDG_CONFIG_HOME", std::string(row.xdgVariable) == "SET" ? xdg.c_str() : row.xdgVariable, 1);
        if (chdir(work.c_str()) != 0)
            _exit(2);
        Settings settings;
        const bool loaded = loadSettings(settings);
        const std::string text = std::to_string(int(loaded)) + " " + std::to_string(settings.windowWidth);
        _exit(write(report[1], text.data(), text.size()) == ssize_t(text.size()) ? 0 : 3);
    }
    close(report[1]);
    char buffer[128] = {};
    const ssize_t got = read(report[0], buffer, sizeof buffer - 1);
    close(report[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    ASSERT_GT(got, 0);
    int loaded = -1;
    double width = 0;
    ASSERT_EQ(std::sscanf(buffer, "%d %lf", &loaded, &width), 2);
    EXPECT_EQ(loaded != 0, row.loaded);
    EXPECT_EQ(width, row.windowWidth);
}

INSTANTIATE_TEST_SUITE_P(Rows, SettingsLookupTest, testing::ValuesIn(lookupRows),
    [](const testing::TestParamInfo<LookupRow>& info) { return std::string(info.param.name); });

// -- Numbers whatever the process locale --

// Switches LC_ALL to a locale whose decimal separator is a comma. When none is installed, one is
// compiled with localedef into a private LOCPATH folder. Restores "C" and LOCPATH when destroyed.
class CommaLocale {
public:
    CommaLocale()
    {
        for (const char* name : { "de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "fr_FR" })
            if (std::setlocale(LC_ALL, name) && hasCommaDecimal())
                return;
        char* argv[] = { const_cast<char*>("localedef"), const_cast<char*>("-i"), const_cast<char*>("de_DE"),
            const_cast<char*>("-f"), const_cast<char*>("UTF-8"), nullptr, nullptr };
        const std::string output = (private_.path() / "de_DE.UTF-8").string();
        argv[5] = const_cast<char*>(output.c_str());
        pid_t child = 0;
        int status = 0;
        if (posix_spawnp(&child, "localedef", nullptr, nullptr, argv, environ) != 0 || waitpid(child, &status, 0) != child)
            return;
        setenv("LOCPATH", private_.path().c_str(), 1);
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8") || !hasCommaDecimal())
            std::setlocale(LC_ALL, "C");
    }
    ~CommaLocale()
    {
        std::setlocale(LC_ALL, "C");
        unsetenv("LOCPATH");
    }
    static bool hasCommaDecimal() { return std::string(std::localeconv()->decimal_point) == ","; }

private:
    TemporaryDirectory private_;
};

TEST(SettingsFile, NumbersReadWithPointUnderCommaLocale)
{
    CommaLocale locale;
    if (!CommaLocale::hasCommaDecimal())
        GTEST_SKIP() << "no comma-decimal locale is installed and localedef could not build one";
    ASSERT_EQ(std::strtod("1.5", nullptr), 1.0) << "the locale is not in effect for strtod";
    Settings settings;
    applySettingsText(settings, "uiScaleMultiplier=1.5\nwindowWidth=2,5\n");
    EXPECT_EQ(settings.uiScaleMultiplier, 1.5);
    EXPECT_EQ(settings.windowWidth, 2.0);
}

} // namespace
