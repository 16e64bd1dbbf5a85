// Desktop services on screen (needs a desktop: under Wine, an X server): the file manager window
// a reveal opens, and the folder picker's dialog, which a helper thread answers as a user would
// (Cancel, or a folder typed into its name box and OK).
#include "app/desktop/Desktop.h"
#include "app/desktop/FolderPicker.h"

#include "engine/core/win32/WideText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <windows.h>

#undef ERROR // wingdi.h's, not FolderPickerResult's

namespace {

BOOL CALLBACK findDialog(HWND window, LPARAM found)
{
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (!IsWindowVisible(window) || std::wstring(name) != L"#32770")
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// Runs the picker on this thread while a helper answers its dialog. A dialog that never shows
// would block the picker for good, so after 30 s the helper ends the process.
FolderPickerResult pickAnswering(WPARAM button, const std::wstring& typed, char** path, const char* defaultPath)
{
    const DWORD owner = GetCurrentThreadId();
    std::thread helper([&] {
        for (int tries = 0; tries < 600; ++tries, Sleep(50)) {
            HWND dialog = nullptr;
            EnumThreadWindows(owner, findDialog, reinterpret_cast<LPARAM>(&dialog));
            if (!dialog)
                continue;
            Sleep(300); // let it finish filling its views
            if (HWND edit = FindWindowExW(dialog, nullptr, L"Edit", nullptr); edit && !typed.empty())
                SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
            PostMessageW(dialog, WM_COMMAND, button, 0);
            return;
        }
        std::fputs("FolderPickerDialogTest: no dialog appeared within 30 s\n", stderr);
        ExitProcess(3);
    });
    const FolderPickerResult result = folderPickerPickFolder(path, defaultPath);
    helper.join();
    return result;
}

} // namespace

TEST(FolderPickerDialog, CancelAndOkAsAUserPressesThem)
{
    namespace fs = std::filesystem;
    ASSERT_EQ(folderPickerInit(), FolderPickerResult::OKAY);
    char* path = reinterpret_cast<char*>(1);
    EXPECT_EQ(pickAnswering(IDCANCEL, L"", &path, nullptr), FolderPickerResult::CANCEL) << folderPickerGetError();
    EXPECT_EQ(path, nullptr) << "CANCEL allocates nothing";

    // A name with a space, a comma and characters outside Latin-1 comes back as its UTF-8.
    const fs::path folder = fs::temp_directory_path() / L"velbrin picker, \u00e9\u4e2d";
    fs::create_directories(folder);
    EXPECT_EQ(pickAnswering(IDOK, folder.wstring(), &path, "C:/"), FolderPickerResult::OKAY) << folderPickerGetError();
    ASSERT_NE(path, nullptr);
    EXPECT_TRUE(fs::equivalent(fs::path(orvex::toWide(path)), folder)) << path;
    folderPickerFreePath(path);
    fs::remove(folder);
}

namespace {

struct FolderWindow {
    std::wstring title;
    HWND found = nullptr;
};

BOOL CALLBACK findFolderWindow(HWND window, LPARAM search)
{
    auto& wanted = *reinterpret_cast<FolderWindow*>(search);
    wchar_t title[512] = {}, name[64] = {};
    GetWindowTextW(window, title, 512);
    GetClassNameW(window, name, 64);
    const std::wstring type = name;
    if (IsWindowVisible(window) && title == wanted.title && (type == L"CabinetWClass" || type == L"ExplorerWClass")) {
        wanted.found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

TEST(RevealInFileManager, OpensTheFoldersWindowForAnAwkwardName)
{
    namespace fs = std::filesystem;
    // Spaces, commas and a leading dash must reach explorer.exe as one path.
    const fs::path folder = fs::temp_directory_path() / L"velbrin reveal, \u00e9";
    fs::create_directories(folder);
    std::ofstream(folder / L"-a b,c.txt") << "x";
    revealInFileManager(orvex::fromWide((folder / L"-a b,c.txt").wstring()));
    FolderWindow window { folder.filename().wstring() };
    for (int tries = 0; tries < 200 && !window.found; ++tries, Sleep(50))
        EnumWindows(findFolderWindow, reinterpret_cast<LPARAM>(&window));
    EXPECT_NE(window.found, nullptr) << "no file manager window for the folder";
    if (window.found)
        PostMessageW(window.found, WM_CLOSE, 0, 0);
    fs::remove_all(folder);
}
