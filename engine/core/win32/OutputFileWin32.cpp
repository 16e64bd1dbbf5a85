// OutputFile on Windows: the temporary file is created beside the target with CREATE_NEW under a
// random name and written through a C stream on its handle; commit() flushes the stream and the
// system's buffers (FlushFileBuffers) and renames it over the target with MoveFileExW, which
// replaces the old file in one step. Paths are UTF-8, converted by WideText.h; long ones use the
// extended-length form. A symbolic link as the target keeps the link and replaces what it names.
#include "engine/core/OutputFile.h"

#include "engine/core/win32/WideText.h"

#include <cassert>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <random>
#include <windows.h>

namespace orvex {

namespace {

// What an existing path is, following links: nothing, a regular file, a directory, or another
// kind of object (a device, a pipe).
enum class Kind { ABSENT, FILE, DIRECTORY, OTHER, UNREADABLE };

struct Status {
    Kind kind = Kind::ABSENT;
    DWORD attributes = 0;
    DWORD error = 0;           // why it could not be examined (UNREADABLE)
    const char* other = "";    // what an OTHER is
    bool danglingLink = false; // a link whose target is missing
};

Status examine(const std::wstring& path)
{
    Status status;
    const DWORD ownAttributes = GetFileAttributesW(path.c_str());
    HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A missing folder on the way is for the folder check to report.
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_DIRECTORY;
        if (missing && ownAttributes != INVALID_FILE_ATTRIBUTES && (ownAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            status.kind = Kind::UNREADABLE;
            status.danglingLink = true;
        } else if (!missing) {
            status.kind = Kind::UNREADABLE;
            status.error = error;
        }
        return status;
    }
    const DWORD type = GetFileType(handle);
    BY_HANDLE_FILE_INFORMATION information {};
    if (type == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &information)) {
        status.attributes = information.dwFileAttributes;
        status.kind = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? Kind::DIRECTORY : Kind::FILE;
    } else {
        status.kind = Kind::OTHER;
        status.other = type == FILE_TYPE_CHAR ? "a character device" : type == FILE_TYPE_PIPE ? "a pipe" : "of an unknown kind";
    }
    CloseHandle(handle);
    return status;
}

// The path the system reaches through `path` after every link, in extended form.
bool finalPath(const std::wstring& path, std::wstring& out)
{
    HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    std::wstring buffer(1024, L'\0');
    DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(), DWORD(buffer.size()), FILE_NAME_NORMALIZED);
    if (length >= buffer.size()) {
        buffer.resize(length + 1);
        length = GetFinalPathNameByHandleW(handle, buffer.data(), DWORD(buffer.size()), FILE_NAME_NORMALIZED);
    }
    CloseHandle(handle);
    if (length == 0 || length >= buffer.size())
        return false;
    buffer.resize(length);
    out = std::move(buffer);
    return true;
}

// Where a write of `path` ends up.
struct Destination {
    std::wstring file;   // the file to create or replace: `path`, or what its link names
    std::wstring folder; // the folder holding `file`, with no trailing separator
    std::wstring name;   // the last component of `file`
    bool exists = false;
};

bool locate(const std::string& path, Destination& out, std::string& error)
{
    if (path.empty()) {
        error = "cannot write a file with an empty name";
        return false;
    }
    const std::string cannotWrite = "cannot write " + path + ": ";
    std::wstring file = toExtendedPath(path);
    const DWORD ownAttributes = GetFileAttributesW(file.c_str());
    Status status = examine(file);
    if (status.danglingLink) {
        error = cannotWrite + "it is a symbolic link to a missing file";
        return false;
    }
    if (status.kind == Kind::UNREADABLE) {
        error = cannotWrite + systemErrorText(status.error);
        return false;
    }
    if (status.kind == Kind::DIRECTORY) {
        error = cannotWrite + "it is a directory";
        return false;
    }
    if (status.kind == Kind::OTHER) {
        error = cannotWrite + "it is not a regular file but " + status.other;
        return false;
    }
    if (status.kind == Kind::FILE && ownAttributes != INVALID_FILE_ATTRIBUTES &&
        (ownAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && !finalPath(file, file)) {
        error = cannotWrite + systemErrorText(GetLastError());
        return false;
    }
    // Replacing a read-only file would defeat its protection.
    if (status.kind == Kind::FILE && (status.attributes & FILE_ATTRIBUTE_READONLY)) {
        error = cannotWrite + systemErrorText(ERROR_ACCESS_DENIED);
        return false;
    }
    const size_t slash = file.find_last_of(L"\\/");
    out.folder = slash == std::wstring::npos ? L"." : file.substr(0, slash);
    out.name = slash == std::wstring::npos ? file : file.substr(slash + 1);
    out.file = file;
    out.exists = status.kind == Kind::FILE;
    if (out.name.empty()) {
        error = cannotWrite + "it names a folder, not a file";
        return false;
    }
    // A drive's root keeps its separator.
    if (!out.folder.empty() && out.folder.back() == L':')
        out.folder += L'\\';
    const DWORD folderAttributes = GetFileAttributesW(out.folder.c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES || !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const DWORD reason = folderAttributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_DIRECTORY;
        error = (out.exists ? cannotWrite + "cannot create files in its folder: " : "cannot create " + path + ": ") +
                systemErrorText(reason);
        return false;
    }
    return true;
}

// A name for the temporary file that no other writer picks: ".NAME.XXXXXXXX" with random letters.
std::wstring temporaryName(const Destination& destination)
{
    static thread_local std::mt19937 random(std::random_device {}() ^ GetCurrentThreadId() ^ GetTickCount());
    static const wchar_t letters[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
    std::wstring suffix;
    for (int i = 0; i < 8; ++i)
        suffix += letters[random() % 36];
    std::wstring folder = destination.folder;
    if (folder.back() != L'\\')
        folder += L'\\';
    return folder + L"." + destination.name.substr(0, 200) + L"." + suffix;
}

} // namespace

OutputFile::~OutputFile()
{
    discard();
}

bool OutputFile::checkWritable(const std::string& path, std::string& error)
{
    Destination destination;
    return locate(path, destination, error);
}

bool OutputFile::open(const std::string& path, std::string& error)
{
    assert(!file && temporary.empty() && "OutputFile::open: call it once per OutputFile");
    Destination destination;
    if (!locate(path, destination, error))
        return false;
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::wstring name;
    for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        name = temporaryName(destination);
        handle = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    if (handle == INVALID_HANDLE_VALUE) {
        error = "cannot create a temporary file beside " + fromWide(destination.file) + ": " + systemErrorText(GetLastError());
        return false;
    }
    temporary = fromWide(name);
    // The descriptor and then the stream take over the handle: closing the stream closes both.
    const int descriptor = _open_osfhandle(intptr_t(handle), _O_WRONLY | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        error = "cannot write " + path + ": " + std::strerror(errno);
        discard();
        return false;
    }
    sink = Sink { descriptor, 0 };
    file = _fdopen(descriptor, "wb");
    if (!file) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        discard();
        return false;
    }
    shownPath = path;
    target = fromWide(destination.file);
    return true;
}

std::string OutputFile::writeFailure() const
{
    // The C runtime's stream keeps no reason of its own; commit() records the one its flush gets.
    if (sink.firstError != 0)
        return systemErrorText(DWORD(sink.firstError));
    if (file && std::ferror(file))
        return "a write to the file failed";
    return std::string();
}

bool OutputFile::commit(std::string& error)
{
    assert(file && "OutputFile::commit: open() the file first, and commit it once");
    const std::string cannotWrite = "cannot write " + shownPath + ": ";
    auto fail = [&](DWORD code) {
        error = cannotWrite + systemErrorText(code);
        discard();
        return false;
    };
    _doserrno = 0;
    if (std::fflush(file) != 0 || std::ferror(file)) {
        // The runtime keeps the system's code of its last failed call.
        if (sink.firstError == 0)
            sink.firstError = _doserrno != 0 ? int(_doserrno) : int(ERROR_WRITE_FAULT);
        return fail(DWORD(sink.firstError));
    }
    HANDLE handle = HANDLE(_get_osfhandle(sink.descriptor));
    if (!FlushFileBuffers(handle))
        return fail(GetLastError());
    const bool closed = std::fclose(file) == 0;
    file = nullptr;
    sink.descriptor = -1;
    if (!closed)
        return fail(_doserrno != 0 ? DWORD(_doserrno) : DWORD(ERROR_WRITE_FAULT));

    const std::wstring wideTemporary = toWide(temporary);
    const std::wstring wideTarget = toWide(target);
    // The new file takes the replaced one's visible attributes (hidden, system, not indexed).
    const DWORD old = GetFileAttributesW(wideTarget.c_str());
    if (old != INVALID_FILE_ATTRIBUTES) {
        if (old & FILE_ATTRIBUTE_DIRECTORY) {
            error = cannotWrite + "it is no longer a regular file";
            discard();
            return false;
        }
        const DWORD kept = old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        if (kept)
            SetFileAttributesW(wideTemporary.c_str(), kept);
    }
    if (!MoveFileExW(wideTemporary.c_str(), wideTarget.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return fail(GetLastError());
    temporary.clear();
    return true;
}

void OutputFile::discard()
{
    if (file) {
        std::fclose(file);
        file = nullptr;
        sink.descriptor = -1;
    }
    if (sink.descriptor >= 0) {
        _close(sink.descriptor);
        sink.descriptor = -1;
    }
    if (!temporary.empty()) {
        DeleteFileW(toWide(temporary).c_str());
        temporary.clear();
    }
}

} // namespace orvex
