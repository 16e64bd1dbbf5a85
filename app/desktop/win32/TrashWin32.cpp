// Trash on Windows: the shell's IFileOperation deletes the item with recycling on and every dialog
// off. Where the Recycle Bin cannot take an item (a volume without one, an item too large) the
// shell would destroy it instead, so a progress sink refuses every delete not announced as a
// recycle; FOF_WANTNUKEWARNING would ask before destroying as a second guard. COM is initialised
// per call (an apartment of its own on a thread whose COM is multithreaded). Paths through WideText.
#include "app/desktop/EntryState.h"
#include "app/desktop/Trash.h"
#include "app/desktop/win32/TrashWin32.h"

#include "engine/core/win32/WideText.h"

#include <string>
#include <system_error>
#include <thread>
#include <windows.h>
#include <shellapi.h>
#include <shobjidl.h>
#include <sherrors.h>

namespace {

template <typename T>
struct Released {
    T* object = nullptr;
    ~Released()
    {
        if (object)
            object->Release();
    }
};

TrashResult refused(std::string message)
{
    return { TrashResult::Outcome::REFUSED, std::move(message) };
}

// Records what the operation reports and stops any delete that would not recycle. Lives on the
// stack of the call that owns the operation and outlives it, so reference counting is moot.
class RecycleOnlySink final : public IFileOperationProgressSink {
public:
    TrashProgress progress;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (id == IID_IUnknown || id == IID_IFileOperationProgressSink) {
            *object = static_cast<IFileOperationProgressSink*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE PreDeleteItem(DWORD flags, IShellItem*) override
    {
        if (mayDeleteProceed(flags))
            return S_OK;
        progress.stoppedDeletion = true;
        return E_ABORT;
    }
    HRESULT STDMETHODCALLTYPE PostDeleteItem(DWORD, IShellItem*, HRESULT result, IShellItem*) override
    {
        if (SUCCEEDED(result))
            ++progress.moved;
        else if (progress.firstFailure == 0)
            progress.firstFailure = result;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE StartOperations() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FinishOperations(HRESULT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PreRenameItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostRenameItem(DWORD, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PreMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PreCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PreNewItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostNewItem(DWORD, IShellItem*, LPCWSTR, LPCWSTR, DWORD, HRESULT, IShellItem*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE UpdateProgress(UINT, UINT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResetTimer() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PauseTimer() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResumeTimer() override { return S_OK; }
};

bool stillThere(std::string_view path)
{
    return entryStateAt(path).kind != EntryState::Kind::MISSING;
}

// The move itself, on a thread whose apartment is initialised.
TrashResult moveInApartment(std::string_view path)
{
    std::wstring wide = orvex::toWidePath(path);
    for (wchar_t& c : wide)
        if (c == L'/')
            c = L'\\';
    Released<IShellItem> item;
    const HRESULT parsed = SHCreateItemFromParsingName(wide.c_str(), nullptr, IID_PPV_ARGS(&item.object));
    if (FAILED(parsed))
        return refused(stillThere(path) ? trashFailureText(parsed) : "it no longer exists");

    RecycleOnlySink sink; // declared before the operation, which holds it until released
    Released<IFileOperation> operation;
    if (FAILED(CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&operation.object))))
        return refused("the Recycle Bin cannot be reached");
    DWORD cookie = 0;
    // Without the sink nothing would stop a permanent delete: no sink, no operation.
    if (FAILED(operation.object->SetOperationFlags(trashOperationFlags()))
        || FAILED(operation.object->Advise(&sink, &cookie)))
        return refused("the Recycle Bin cannot be reached");
    const HRESULT queued = operation.object->DeleteItem(item.object, nullptr);
    const HRESULT performed = SUCCEEDED(queued) ? operation.object->PerformOperations() : queued;
    BOOL aborted = FALSE;
    if (FAILED(operation.object->GetAnyOperationsAborted(&aborted)))
        aborted = FALSE;
    operation.object->Unadvise(cookie);
    return trashOutcome(performed, aborted != FALSE, sink.progress, stillThere(path));
}

} // namespace

unsigned long trashOperationFlags()
{
    return FOF_ALLOWUNDO | FOFX_RECYCLEONDELETE | FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI
        | FOF_NOCONFIRMMKDIR | FOFX_EARLYFAILURE | FOF_WANTNUKEWARNING;
}

bool mayDeleteProceed(unsigned long transferFlags)
{
    return (transferFlags & TSF_DELETE_RECYCLE_IF_POSSIBLE) != 0;
}

std::string trashFailureText(long failure)
{
    switch (HRESULT(failure)) {
    case E_ACCESSDENIED:
    case COPYENGINE_E_ACCESS_DENIED_SRC:
        return "you do not have permission to move it";
    case HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND):
    case HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND):
    case COPYENGINE_E_PATH_NOT_FOUND_SRC:
        return "it no longer exists";
    case HRESULT_FROM_WIN32(ERROR_WRITE_PROTECT):
    case COPYENGINE_E_SRC_IS_RO_CD:
    case COPYENGINE_E_SRC_IS_RO_DVD:
        return "the volume that holds it is read-only";
    case HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION):
    case HRESULT_FROM_WIN32(ERROR_LOCK_VIOLATION):
    case COPYENGINE_E_SHARING_VIOLATION_SRC:
        return "another program is using it";
    case COPYENGINE_E_RECYCLE_BIN_NOT_FOUND:
    case COPYENGINE_E_RECYCLE_FORCE_NUKE:
    case COPYENGINE_E_RECYCLE_SIZE_TOO_BIG:
    case COPYENGINE_E_RECYCLE_PATH_TOO_LONG:
        return "the Recycle Bin cannot take it";
    case E_ABORT:
    case COPYENGINE_E_USER_CANCELLED:
    case COPYENGINE_E_CANCELLED:
    case HRESULT_FROM_WIN32(ERROR_CANCELLED):
        return "the move was stopped before it finished";
    default:
        break;
    }
    // E_ACCESSDENIED is ERROR_ACCESS_DENIED's HRESULT; other Win32 codes have the system's text.
    const unsigned long code = HRESULT_FACILITY(failure) == FACILITY_WIN32 ? HRESULT_CODE(failure) : static_cast<unsigned long>(failure);
    std::string text = orvex::systemErrorText(code);
    if (text.empty()) {
        char hex[16];
        wsprintfA(hex, "0x%08lX", failure);
        text = std::string("the move failed with error ") + hex;
    }
    return text;
}

TrashResult trashOutcome(long performed, bool aborted, const TrashProgress& progress, bool stillThere)
{
    const bool failed = FAILED(performed) || aborted || progress.stoppedDeletion || FAILED(progress.firstFailure);
    if (!stillThere) {
        // Gone from its place: through the Recycle Bin unless the operation neither moved
        // anything nor succeeded, when something else took it away first.
        if (progress.moved > 0 || !failed)
            return { TrashResult::Outcome::MOVED, {} };
        return refused("it no longer exists");
    }
    std::string message;
    if (progress.stoppedDeletion)
        message = "the Recycle Bin cannot take it, so it was left in place";
    else if (FAILED(progress.firstFailure))
        message = trashFailureText(progress.firstFailure);
    else if (FAILED(performed))
        message = trashFailureText(performed);
    else if (aborted)
        message = "the move was stopped before it finished";
    else
        message = "the Recycle Bin did not take it"; // a success that left it where it was
    if (progress.moved > 0)
        return { TrashResult::Outcome::PARTIAL, std::move(message) };
    return refused(std::move(message));
}

EntryState entryStateAt(std::string_view path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !GetFileAttributesExW(orvex::toWidePath(path).c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = path.empty() ? ERROR_FILE_NOT_FOUND : GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME)
            return { EntryState::Kind::MISSING, 0, {} };
        return { EntryState::Kind::UNREADABLE, 0, orvex::systemErrorText(error) };
    }
    // Like the scanner, take the listing's own view: a junction is a folder, and the attributes of
    // a link are the link's.
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return { EntryState::Kind::DIRECTORY, 0, {} };
    return { EntryState::Kind::OTHER, (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow, {} };
}

TrashResult moveToTrash(std::string_view path)
{
    if (path.empty() || path.find('\0') != std::string_view::npos)
        return refused("it no longer exists");
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (com == RPC_E_CHANGED_MODE) {
        // This thread's COM is multithreaded, which is not ours to change: the shell's file
        // operations run in an apartment of their own on a thread of their own.
        TrashResult result = refused("the Recycle Bin cannot be reached");
        try {
            std::thread([&] { result = moveToTrash(path); }).join();
        } catch (const std::system_error&) {
        }
        return result;
    }
    if (FAILED(com))
        return refused("the Recycle Bin cannot be reached");
    TrashResult result = moveInApartment(path);
    CoUninitialize();
    return result;
}
