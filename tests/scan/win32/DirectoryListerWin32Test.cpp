// The Windows walk: a generated tree gives exactly the files and bytes it was made with, in the
// order of the system's listing; names outside ASCII and paths beyond MAX_PATH survive; directory
// links are walked except into a directory already open on the walk path; what the root is, is
// told following links. Runs on Windows and under Wine (where the link tree comes from the host,
// see LinkTree below).
#include "../ScanTreeFixture.h"
#include "engine/core/win32/WideText.h"
#include "scan/DirectoryLister.h"

#include <cstdlib>
#include <cstring>
#include <windows.h>
#include <winioctl.h>

using orvex::UniquePtr;
using Type = FilesystemNode::Type;
using namespace scantest;

namespace {

// Checks sums, parent links and the listing order of every directory; counts what is below.
void expectTreeMatchesDisk(const FilesystemNode* node, const std::string& path, int64_t& directories, int64_t& files)
{
    if (node->type == Type::FILE) {
        files += 1;
        return;
    }
    directories += 1;
    std::vector<std::string> names;
    for (int64_t i = 0; i < node->children.count; ++i) {
        names.emplace_back(node->children[i]->name.view());
        EXPECT_EQ(node->children[i]->parent, node);
    }
    EXPECT_EQ(names, plainListing(path)) << "children of " << path << " are not in listing order";
    EXPECT_EQ(node->size, childSum(node)) << path;
    for (int64_t i = 0; i < node->children.count; ++i)
        expectTreeMatchesDisk(node->children[i], path + "\\" + names[size_t(i)], directories, files);
}

// Creates a file of `size` bytes through the wide API at an extended-length path.
bool makeFile(const std::wstring& path, uint64_t size)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER end;
    end.QuadPart = LONGLONG(size);
    const bool sized = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return sized;
}

// Makes `link` (a new empty folder) a junction to the absolute folder `target`. False where the
// file system has no junctions.
bool makeJunction(const std::wstring& link, const std::wstring& target)
{
    if (!CreateDirectoryW(link.c_str(), nullptr))
        return false;
    HANDLE handle = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    // The mount-point reparse buffer: the target in NT form, then an empty display name.
    const std::wstring nt = L"\\??\\" + target.substr(target.rfind(L"\\\\?\\", 0) == 0 ? 4 : 0);
    const size_t pathBytes = (nt.size() + 1 + 1) * sizeof(wchar_t);
    std::vector<unsigned char> buffer(16 + pathBytes);
    auto put16 = [&](size_t at, size_t value) { uint16_t v = uint16_t(value); std::memcpy(&buffer[at], &v, 2); };
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    std::memcpy(&buffer[0], &tag, 4);
    put16(4, 8 + pathBytes);                            // data length
    put16(8, 0);                                        // substitute name offset
    put16(10, nt.size() * sizeof(wchar_t));             // and length
    put16(12, (nt.size() + 1) * sizeof(wchar_t));       // print name offset
    put16(14, 0);                                       // and length
    std::memcpy(&buffer[16], nt.c_str(), (nt.size() + 1) * sizeof(wchar_t));
    DWORD returned = 0;
    const bool made = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(), DWORD(buffer.size()), nullptr, 0,
                                      &returned, nullptr);
    CloseHandle(handle);
    if (!made)
        RemoveDirectoryW(link.c_str());
    return made;
}

TEST(DirectoryListerWin32, GeneratedTreeGivesEveryFileAndByteInListingOrder)
{
    TempTree tree;
    uint64_t total = makeRandomTree(tree, 5, 120, 1500);
    // Names outside ASCII (some beyond the BMP) and a sparse file above 4 GiB, which needs the
    // high half of the listed size.
    const char* names[] = { "résumé.txt", "日本語ファイル", "🎵 track 7.mp3", "Привет мир", "Ärger und Öl" };
    tree.dir("names");
    for (size_t i = 0; i < std::size(names); ++i) {
        tree.file(std::string("names/") + names[i], 1000 + i);
        total += 1000 + i;
    }
    tree.file("names/huge", uint64_t(5) << 30);
    total += uint64_t(5) << 30;

    WalkChecker checker;
    UniquePtr<FilesystemNode> root = scanPath(tree.path(), &checker);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->size, total);
    int64_t directories = 0, files = 0;
    expectTreeMatchesDisk(root.get(), tree.path(), directories, files);
    EXPECT_EQ(directories, 122);
    EXPECT_EQ(files, 1500 + int64_t(std::size(names)) + 1);
    EXPECT_EQ(checker.entered, directories);
    EXPECT_EQ(checker.files, files);
    const FilesystemNode* folder = findChild(root.get(), "names");
    ASSERT_NE(folder, nullptr);
    for (const char* name : names)
        EXPECT_NE(findChild(folder, name), nullptr) << name;
}

TEST(DirectoryListerWin32, PathsLongerThanMaxPathAreWalked)
{
    TempTree tree;
    std::wstring path = orvex::toExtendedPath(tree.path());
    const std::wstring level(60, L'd');
    for (int i = 0; i < 8; ++i) { // about 500 characters below the scratch folder
        path += L"\\" + level + std::to_wstring(i);
        ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << GetLastError();
    }
    ASSERT_TRUE(makeFile(path + L"\\deep.bin", 12345)) << GetLastError();
    ASSERT_GT(path.size(), size_t(MAX_PATH));

    UniquePtr<FilesystemNode> root = scanPath(tree.path());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->size, 12345u);
    const FilesystemNode* node = root.get();
    int depth = 0;
    while (node->children.count == 1 && node->children[0]->type == Type::DIRECTORY) {
        node = node->children[0];
        depth += 1;
    }
    EXPECT_EQ(depth, 8);
    ASSERT_EQ(node->children.count, 1);
    EXPECT_EQ(node->children[0]->name.view(), "deep.bin");

    // A root given by a long path is scanned as well.
    UniquePtr<FilesystemNode> deep = scanPath(orvex::fromWide(path.substr(4)));
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(deep->size, 12345u);
}

// Names that are not valid UTF-16 (an unpaired surrogate) can exist on NTFS; their node names must
// convert back to the exact units, or the file could not be opened or revealed later.
TEST(DirectoryListerWin32, NamesConvertBackToTheUnitsOnDisk)
{
    TempTree tree;
    const std::wstring folder = orvex::toExtendedPath(tree.path());
    const std::wstring names[] = { L"plain", L"caf\u00E9", L"\U0001F3B5 astral", std::wstring(L"lone \xD800 high"),
                                   std::wstring(L"lone \xDC00 low"), std::wstring(L"\xDC00\xD800 reversed") };
    std::vector<std::wstring> made;
    for (const std::wstring& name : names) {
        if (makeFile(folder + L"\\" + name, name.size()))
            made.push_back(name);
    }
    ASSERT_GE(made.size(), 3u) << "even valid names could not be created";
    if (made.size() < std::size(names))
        std::printf("note: this file system refused %zu names that are not valid UTF-16\n", std::size(names) - made.size());

    UniquePtr<FilesystemNode> root = scanPath(tree.path());
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->children.count, int64_t(made.size()));
    for (const std::wstring& name : made) {
        const FilesystemNode* node = findChild(root.get(), orvex::fromWide(name));
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->size, name.size());
        const std::wstring back = orvex::toWide(node->name.view());
        EXPECT_TRUE(back == name);
        EXPECT_NE(GetFileAttributesW((folder + L"\\" + back).c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

TEST(DirectoryListerWin32, RootKindIsToldFollowingLinks)
{
    TempTree tree;
    tree.file("only.bin", 4321);
    tree.dir("sub");
    const struct {
        const char* name;
        std::string path;
        DirectoryLister::RootKind kind;
        uint64_t size;
    } rows[] = {
        { "file", tree.at("only.bin"), DirectoryLister::RootKind::FILE, 4321 },
        { "directory", tree.at("sub"), DirectoryLister::RootKind::DIRECTORY, 0 },
        { "directory with a trailing separator", tree.at("sub") + "\\", DirectoryLister::RootKind::DIRECTORY, 0 },
        { "missing", tree.at("missing"), DirectoryLister::RootKind::MISSING, 0 },
        { "empty", "", DirectoryLister::RootKind::MISSING, 0 },
        { "device", "NUL", DirectoryLister::RootKind::MISSING, 0 },
        // A bare drive designator is the drive's root, not its current folder.
        { "bare drive", "C:", DirectoryLister::RootKind::DIRECTORY, 0 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        uint64_t size = 99;
        EXPECT_EQ(DirectoryLister::examineRoot(row.path, size), row.kind);
        EXPECT_EQ(size, row.size);
    }
}

// A tree with directory links: made by the host when the tests run under Wine (which cannot make
// links itself; the host's symbolic links to directories look like reparse points to it), else as
// junctions here. Either way: top/real holds 100 bytes and a link "loop" to top; top/alias links
// to top/real. Walking alias reaches real's file again; each loop leads to an ancestor and
// must stay an empty directory.
TEST(DirectoryListerWin32, DirectoryLinksAreWalkedExceptIntoAnAncestor)
{
    TempTree scratch;
    std::string top;
    if (const char* prepared = std::getenv("VELBRIN_LINK_TREE"); prepared && *prepared) {
        top = prepared;
    } else {
        const std::wstring folder = orvex::toExtendedPath(scratch.path());
        ASSERT_TRUE(CreateDirectoryW((folder + L"\\real").c_str(), nullptr));
        ASSERT_TRUE(makeFile(folder + L"\\real\\f", 100));
        if (!makeJunction(folder + L"\\real\\loop", folder) || !makeJunction(folder + L"\\alias", folder + L"\\real"))
            GTEST_SKIP() << "this file system makes no junctions, and no linked tree was prepared (VELBRIN_LINK_TREE)";
        top = scratch.path();
    }
    UniquePtr<FilesystemNode> root = scanPath(top);
    ASSERT_NE(root, nullptr);
    const FilesystemNode* real = findChild(root.get(), "real");
    const FilesystemNode* alias = findChild(root.get(), "alias");
    ASSERT_NE(real, nullptr);
    ASSERT_NE(alias, nullptr);
    EXPECT_EQ(root->size, 200u);
    for (const FilesystemNode* directory : { real, alias }) {
        EXPECT_EQ(directory->type, Type::DIRECTORY);
        EXPECT_EQ(directory->size, 100u);
        const FilesystemNode* loop = findChild(directory, "loop");
        ASSERT_NE(loop, nullptr) << "a link to a directory is not a symbolic link to be left out here";
        EXPECT_EQ(loop->type, Type::DIRECTORY);
        EXPECT_EQ(loop->children.count, 0) << "walked into a directory already open on the walk path";
    }
}

} // namespace
