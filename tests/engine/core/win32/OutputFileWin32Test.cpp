// Tests for OutputFile on Windows: what is not a regular file is refused and left as it was, an
// existing file changes only on a successful commit (not when the rename is refused), no
// temporary file outlives any ending, and names outside ASCII and beyond MAX_PATH work.
#include "engine/core/OutputFile.h"
#include "engine/core/win32/WideText.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>
#include <string>
#include <windows.h>

using orvex::OutputFile;
using orvex::fromWide;
using orvex::toExtendedPath;

namespace {

void writeText(const std::wstring& path, const std::string& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    DWORD written = 0;
    WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
    CloseHandle(file);
}

std::string readText(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string text;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    return text;
}

std::set<std::wstring> namesIn(const std::wstring& folder)
{
    std::set<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            names.insert(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

class OutputFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t base[MAX_PATH + 1];
        ASSERT_GT(GetTempPathW(MAX_PATH + 1, base), 0u);
        std::random_device seed;
        folder = std::wstring(base) + L"output-file-" + std::to_wstring(seed());
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
    }
    void TearDown() override
    {
        // Clears read-only and removes the scratch folder, one level deep (tests make no more).
        for (const std::wstring& name : namesIn(folder)) {
            const std::wstring path = folder + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!DeleteFileW(path.c_str())) {
                for (const std::wstring& inner : namesIn(path))
                    DeleteFileW((path + L"\\" + inner).c_str());
                RemoveDirectoryW(path.c_str());
            }
        }
        RemoveDirectoryW(folder.c_str());
    }
    std::string at(const std::wstring& name) const { return fromWide(folder + L"\\" + name); }

    std::wstring folder;
};

TEST_F(OutputFileTest, RefusesWhatIsNotARegularFileAndLeavesItAlone)
{
    struct Row {
        const char* name;
        std::function<std::string(const std::wstring&)> make;
        const char* reason; // empty: any reason
    };
    const Row rows[] = {
        { "directory",
          [](const std::wstring& f) { CreateDirectoryW((f + L"\\sub").c_str(), nullptr); return fromWide(f + L"\\sub"); },
          "it is a directory" },
        { "device", [](const std::wstring&) { return std::string("NUL"); }, "it is not a regular file but a character device" },
        { "read-only file",
          [](const std::wstring& f) {
              writeText(f + L"\\locked.png", "kept");
              SetFileAttributesW((f + L"\\locked.png").c_str(), FILE_ATTRIBUTE_READONLY);
              return fromWide(f + L"\\locked.png");
          },
          "" },
        { "missing folder", [](const std::wstring& f) { return fromWide(f + L"\\no-such-folder\\out.png"); }, "cannot create" },
        { "folder is a file",
          [](const std::wstring& f) { writeText(f + L"\\plain", "x"); return fromWide(f + L"\\plain\\out.png"); }, "" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string target = row.make(folder);
        const std::set<std::wstring> namesBefore = namesIn(folder);
        const std::string contentBefore = readText(orvex::toWide(target));

        std::string error;
        EXPECT_FALSE(OutputFile::checkWritable(target, error));
        EXPECT_NE(error.find(row.reason), std::string::npos) << error;
        EXPECT_NE(error.find("cannot "), std::string::npos) << error;
        {
            OutputFile file;
            error.clear();
            EXPECT_FALSE(file.open(target, error));
            EXPECT_NE(error.find(row.reason), std::string::npos) << error;
            EXPECT_EQ(file.stream(), nullptr);
        }
        EXPECT_EQ(namesIn(folder), namesBefore);
        EXPECT_EQ(readText(orvex::toWide(target)), contentBefore);
    }
}

TEST_F(OutputFileTest, ExistingFileChangesOnlyOnCommit)
{
    enum Ending { DESTROYED, DISCARDED, TARGET_IN_USE, COMMITTED };
    struct Row {
        const char* name;
        Ending ending;
    };
    const Row rows[] = {
        { "destroyed without commit", DESTROYED },
        { "discarded", DISCARDED },
        // Another program holds the target open without allowing it to be replaced.
        { "target in use", TARGET_IN_USE },
        { "committed", COMMITTED },
    };
    const std::string oldText = "old content\n";
    const std::string newText(256 * 1024, 'n');
    const std::wstring target = folder + L"\\picture.png";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        writeText(target, oldText);
        SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_HIDDEN);
        bool committed = false;
        std::string error;
        HANDLE holder = INVALID_HANDLE_VALUE;
        {
            OutputFile file;
            ASSERT_TRUE(file.open(fromWide(target), error)) << error;
            std::fwrite(newText.data(), 1, newText.size(), file.stream());
            EXPECT_EQ(readText(target), oldText) << "the target changed before commit";
            EXPECT_EQ(namesIn(folder).size(), 2u) << "no temporary file beside the target";
            if (row.ending == DISCARDED)
                file.discard();
            if (row.ending == TARGET_IN_USE)
                holder = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            if (row.ending == TARGET_IN_USE || row.ending == COMMITTED)
                committed = file.commit(error);
            EXPECT_TRUE(file.writeFailure().empty()) << file.writeFailure();
        }
        if (holder != INVALID_HANDLE_VALUE)
            CloseHandle(holder);
        EXPECT_EQ(committed, row.ending == COMMITTED) << error;
        if (row.ending == TARGET_IN_USE) {
            EXPECT_NE(error.find("cannot write "), std::string::npos) << error;
        }
        EXPECT_TRUE(readText(target) == (row.ending == COMMITTED ? newText : oldText)) << "wrong content";
        EXPECT_EQ(namesIn(folder), std::set<std::wstring> { L"picture.png" }) << "a temporary file was left behind";
        EXPECT_TRUE(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_HIDDEN) << "the replaced file's attributes were not kept";
    }
}

TEST_F(OutputFileTest, NamesOutsideAsciiAndBeyondMaxPathAreWritten)
{
    std::wstring deep = toExtendedPath(fromWide(folder));
    for (int i = 0; i < 5; ++i) {
        deep += L"\\" + std::wstring(60, wchar_t(L'a' + i));
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr)) << GetLastError();
    }
    const std::wstring targets[] = { folder + L"\\r\u00E9sum\u00E9 \U0001F3B5.png", deep + L"\\deep.png" };
    for (const std::wstring& target : targets) {
        SCOPED_TRACE(fromWide(target));
        std::string error;
        OutputFile file;
        ASSERT_TRUE(file.open(fromWide(target), error)) << error;
        std::fputs("new", file.stream());
        ASSERT_TRUE(file.commit(error)) << error;
        EXPECT_EQ(readText(toExtendedPath(fromWide(target))), "new");
    }
    EXPECT_EQ(namesIn(deep), std::set<std::wstring> { L"deep.png" });
    // The deep chain is removed here: TearDown goes one level down only.
    DeleteFileW((deep + L"\\deep.png").c_str());
    for (int i = 0; i < 5; ++i) {
        RemoveDirectoryW(deep.c_str());
        deep.resize(deep.rfind(L'\\'));
    }
}

} // namespace
