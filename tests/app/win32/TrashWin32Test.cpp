// The Windows trash's decisions without the shell (the operation's flags, the sink's verdict on
// each delete, how a finished operation reads) and, where IFileOperation works, a real move of a
// file and a folder from a scratch folder into the Recycle Bin.
#include "app/desktop/Trash.h"
#include "app/desktop/win32/TrashWin32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <windows.h>
#include <shellapi.h>
#include <shobjidl.h>
#include <sherrors.h>

namespace {

using Outcome = TrashResult::Outcome;

TEST(TrashWin32, OperationRecyclesSilentlyAndWarnsBeforeDestroying)
{
    const unsigned long flags = trashOperationFlags();
    for (unsigned long wanted : { FOF_ALLOWUNDO, FOFX_RECYCLEONDELETE, FOF_WANTNUKEWARNING, FOFX_EARLYFAILURE, FOF_SILENT,
             FOF_NOCONFIRMATION, FOF_NOERRORUI, FOF_NOCONFIRMMKDIR })
        EXPECT_EQ(flags & wanted, wanted) << std::hex << wanted;
}

TEST(TrashWin32, SinkLetsOnlyRecyclingDeletesProceed)
{
    const struct {
        const char* name;
        unsigned long transferFlags;
        bool proceeds;
    } rows[] = {
        { "recycle", TSF_DELETE_RECYCLE_IF_POSSIBLE, true },
        { "recycle among other flags", TSF_DELETE_RECYCLE_IF_POSSIBLE | TSF_COPY_LOCALIZED_NAME | TSF_NO_SECURITY, true },
        { "plain delete", TSF_NORMAL, false },
        { "delete with other flags", TSF_FAIL_EXIST | TSF_COPY_HARD_LINK | TSF_MOVE_AS_COPY_DELETE, false },
    };
    for (const auto& row : rows)
        EXPECT_EQ(mayDeleteProceed(row.transferFlags), row.proceeds) << row.name;
}

TEST(TrashWin32, FinishedOperationReadsAsMovedRefusedOrPartial)
{
    const long fail = HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);
    const struct {
        const char* name;
        long performed;
        bool aborted;
        TrashProgress progress;
        bool stillThere;
        Outcome outcome;
        std::string message;
    } rows[] = {
        { "recycled", S_OK, false, { 1, false, 0 }, false, Outcome::MOVED, "" },
        { "gone though the sink heard nothing", S_OK, false, {}, false, Outcome::MOVED, "" },
        { "success that left it", S_OK, false, {}, true, Outcome::REFUSED, "the Recycle Bin did not take it" },
        { "permanent delete stopped", E_ABORT, true, { 0, true, 0 }, true, Outcome::REFUSED,
          "the Recycle Bin cannot take it, so it was left in place" },
        { "locked file", fail, false, { 0, false, fail }, true, Outcome::REFUSED, "another program is using it" },
        { "no permission", COPYENGINE_E_ACCESS_DENIED_SRC, false, {}, true, Outcome::REFUSED, "you do not have permission to move it" },
        { "read-only volume", HRESULT_FROM_WIN32(ERROR_WRITE_PROTECT), false, {}, true, Outcome::REFUSED,
          "the volume that holds it is read-only" },
        { "aborted without a code", S_OK, true, {}, true, Outcome::REFUSED, "the move was stopped before it finished" },
        { "vanished before the move", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), false, {}, false, Outcome::REFUSED, "it no longer exists" },
        { "part of a folder moved, then a locked file", S_OK, true, { 3, false, fail }, true, Outcome::PARTIAL,
          "another program is using it" },
        { "part of a folder moved, then a destroy stopped", E_ABORT, true, { 2, true, 0 }, true, Outcome::PARTIAL,
          "the Recycle Bin cannot take it, so it was left in place" },
        { "folder moved item by item, error after the last", fail, false, { 4, false, fail }, false, Outcome::MOVED, "" },
    };
    for (const auto& row : rows) {
        const TrashResult result = trashOutcome(row.performed, row.aborted, row.progress, row.stillThere);
        EXPECT_EQ(int(result.outcome), int(row.outcome)) << row.name;
        EXPECT_EQ(result.message, row.message) << row.name;
    }
    // Codes without a sentence of their own carry the system's text.
    EXPECT_FALSE(trashFailureText(HRESULT_FROM_WIN32(ERROR_DISK_FULL)).empty());
}

// Whether this system's IFileOperation does anything (Wine 8 has only a stub answering E_NOTIMPL).
bool fileOperationImplemented()
{
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IFileOperation* operation = nullptr;
    bool implemented = false;
    if (SUCCEEDED(CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&operation)))) {
        implemented = operation->SetOperationFlags(FOF_ALLOWUNDO) != E_NOTIMPL;
        operation->Release();
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return implemented;
}

// A file and a folder leave a scratch folder for the Recycle Bin; where the shell cannot move
// anything, both are refused and stay as they were.
TEST(TrashWin32, FileAndFolderLeaveForTheRecycleBinOrStayWhole)
{
    namespace fs = std::filesystem;
    const fs::path scratch = fs::temp_directory_path() / ("velbrin-trash-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(scratch / "folder/inside");
    std::ofstream(scratch / "file.txt") << "content";
    std::ofstream(scratch / "folder/inside/a.txt") << "a";
    const bool implemented = fileOperationImplemented();
    for (const char* name : { "file.txt", "folder" }) {
        const TrashResult result = moveToTrash((scratch / name).string());
        if (implemented) {
            EXPECT_EQ(int(result.outcome), int(Outcome::MOVED)) << name << ": " << result.message;
            EXPECT_FALSE(fs::exists(scratch / name)) << name;
        } else {
            EXPECT_EQ(int(result.outcome), int(Outcome::REFUSED)) << name;
            EXPECT_EQ(result.message, "the Recycle Bin cannot be reached") << name;
        }
    }
    if (!implemented) {
        std::ifstream file(scratch / "file.txt"), inside(scratch / "folder/inside/a.txt");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "content");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(inside), {}), "a");
    }
    const TrashResult gone = moveToTrash((scratch / "absent").string());
    EXPECT_EQ(int(gone.outcome), int(Outcome::REFUSED));
    EXPECT_EQ(gone.message, "it no longer exists");
    // A thread whose COM is multithreaded gets the same answer from an apartment of its own.
    TrashResult goneFromMta { Outcome::MOVED, {} };
    std::thread([&] {
        const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        goneFromMta = moveToTrash((scratch / "absent").string());
        if (SUCCEEDED(com))
            CoUninitialize();
    }).join();
    EXPECT_EQ(int(goneFromMta.outcome), int(Outcome::REFUSED));
    EXPECT_EQ(goneFromMta.message, "it no longer exists");
    fs::remove_all(scratch);
    if (!implemented)
        GTEST_SKIP() << "IFileOperation is a stub here (Wine): only the refusal was checked";
}

} // namespace
