// Desktop services on Windows without a dialog on screen: the explorer /select argument (checked
// against the system's own command-line parser), the composition-function look-up and the folder
// picker's error paths (no place for the path, a thread without COM).
#include "app/desktop/Desktop.h"
#include "app/desktop/FolderPicker.h"
#include "app/desktop/win32/DesktopWin32.h"

#include <gtest/gtest.h>

#include <thread>
#include <windows.h>
#include <shellapi.h>

#undef ERROR // wingdi.h's, not FolderPickerResult's

TEST(DesktopWin32, ExplorerSelectArgumentQuotesThePathAsOneArgument)
{
    const struct {
        const char* name;
        std::wstring path;
        std::wstring argument; // empty: nothing is started
        std::wstring parsed;   // what explorer.exe's argv[1] holds
    } rows[] = {
        { "spaces", L"C:\\My Files\\a b.txt", L"/select,\"C:\\My Files\\a b.txt\"", L"/select,C:\\My Files\\a b.txt" },
        { "commas", L"C:\\a,b\\c,d.txt", L"/select,\"C:\\a,b\\c,d.txt\"", L"/select,C:\\a,b\\c,d.txt" },
        { "leading dashes", L"C:\\-rf\\--help", L"/select,\"C:\\-rf\\--help\"", L"/select,C:\\-rf\\--help" },
        { "switch-like name", L"C:\\x\\,/root,C:", L"/select,\"C:\\x\\,\\root,C:\"", L"/select,C:\\x\\,\\root,C:" },
        { "forward slashes", L"C:/Users/me", L"/select,\"C:\\Users\\me\"", L"/select,C:\\Users\\me" },
        { "drive root", L"C:\\", L"/select,\"C:\\\\\"", L"/select,C:\\" },
        { "trailing separators", L"C:\\dir\\\\", L"/select,\"C:\\dir\\\\\\\\\"", L"/select,C:\\dir\\\\" },
        { "UNC path", L"\\\\server\\share\\f", L"/select,\"\\\\server\\share\\f\"", L"/select,\\\\server\\share\\f" },
        { "unpaired surrogate kept", std::wstring(L"C:\\a") + wchar_t(0xD800), std::wstring(L"/select,\"C:\\a") + wchar_t(0xD800) + L"\"",
          std::wstring(L"/select,C:\\a") + wchar_t(0xD800) },
        { "double quote refused", L"C:\\a\"b", L"", L"" },
        { "quote that would add a switch", L"C:\\a\" /root,\"C:\\", L"", L"" },
        { "NUL refused", std::wstring(L"C:\\a\0b", 6), L"", L"" },
        { "empty refused", L"", L"", L"" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::wstring argument = explorerSelectArgument(row.path);
        EXPECT_EQ(argument, row.argument);
        if (argument.empty())
            continue;
        int count = 0;
        const std::wstring line = L"explorer.exe " + argument;
        wchar_t** argv = CommandLineToArgvW(line.c_str(), &count);
        ASSERT_NE(argv, nullptr);
        EXPECT_EQ(count, 2);
        if (count == 2) {
            EXPECT_EQ(std::wstring(argv[1]), row.parsed);
        }
        LocalFree(argv);
    }
}

TEST(DesktopWin32, DarkTitleBarIsHarmlessWithOrWithoutTheFunction)
{
    void* function = setWindowCompositionAttributeFunction();
    EXPECT_EQ(function, reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"),
                                                               "SetWindowCompositionAttribute")));
    useDarkTitleBar(nullptr);
    HWND window = CreateWindowExW(0, L"STATIC", L"dark", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                  nullptr, nullptr);
    if (!window)
        GTEST_SKIP() << "no window can be made here (Wine without a display)";
    useDarkTitleBar(window);
    EXPECT_TRUE(IsWindow(window));
    DestroyWindow(window);
}

TEST(FolderPickerWin32, ErrorPathsAllocateNothing)
{
    // COM was initialised for this (the main) thread before main().
    EXPECT_EQ(folderPickerInit(), FolderPickerResult::OKAY);
    EXPECT_STREQ(folderPickerGetError(), "");
    EXPECT_EQ(folderPickerPickFolder(nullptr, nullptr), FolderPickerResult::ERROR);

    // A thread without COM cannot create the dialog: ERROR at once, no dialog, no allocation.
    FolderPickerResult result = FolderPickerResult::OKAY;
    char* path = reinterpret_cast<char*>(&result); // must be overwritten with null
    std::string error;
    std::thread([&] {
        result = folderPickerPickFolder(&path, "C:\\");
        error = folderPickerGetError();
    }).join();
    EXPECT_EQ(result, FolderPickerResult::ERROR);
    EXPECT_EQ(path, nullptr);
    EXPECT_EQ(error, "Could not create dialog.");
    folderPickerFreePath(nullptr);
    folderPickerQuit();
}
