// entryChange against real entries in a scratch folder: unchanged entries say nothing, and each
// kind of change has its sentence (sizes exact, with thousands separators).
#include "app/desktop/Trash.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;

class ScratchFolder {
public:
    ScratchFolder()
    {
        static std::atomic<int> count { 0 };
        root = fs::temp_directory_path() / ("velbrin-entry-" + std::to_string(std::time(nullptr)) + "-" + std::to_string(count++));
        fs::create_directories(root);
    }
    ~ScratchFolder() { fs::remove_all(root); }
    fs::path root;
};

TEST(EntryChange, SaysWhatChangedSinceTheScan)
{
    ScratchFolder scratch;
    const fs::path& root = scratch.root;
    std::ofstream(root / "file", std::ios::binary) << std::string(1234, 'x');
    std::ofstream(root / "empty", std::ios::binary);
    std::ofstream(root / "one", std::ios::binary) << 'x';
    std::ofstream(root / "three digits", std::ios::binary) << std::string(123, 'x');
    std::ofstream(root / "six digits", std::ios::binary) << std::string(123456, 'x');
    fs::create_directories(root / "folder/inside");
#ifndef _WIN32
    // Links and other non-regular entries count 0 bytes, whatever they point at.
    fs::create_symlink(root / "file", root / "link");
    fs::create_symlink(root / "folder", root / "link to folder");
    ASSERT_EQ(mkfifo((root / "fifo").c_str(), 0600), 0);
#endif

    const struct {
        const char* name;
        fs::path path;
        bool directory;
        uint64_t size;
        std::string change;
    } rows[] = {
        { "file unchanged", root / "file", false, 1234, "" },
        { "empty file unchanged", root / "empty", false, 0, "" },
        { "folder unchanged (its size is not compared)", root / "folder", true, 999, "" },
        { "gone", root / "absent", false, 0, "it no longer exists" },
        { "gone below a file", root / "file/below", true, 0, "it no longer exists" },
        { "file became a folder", root / "folder", false, 0, "it is now a folder" },
        { "folder became a file", root / "file", true, 0, "it is no longer a folder" },
        { "file grew", root / "file", false, 99, "its size changed from 99 bytes to 1,234 bytes" },
        { "file shrank to one byte", root / "one", false, 1234567, "its size changed from 1,234,567 bytes to 1 byte" },
        // Groups of exactly three digits take no separator in front.
        { "three digits grew to six", root / "six digits", false, 123, "its size changed from 123 bytes to 123,456 bytes" },
        { "six digits shrank to three", root / "three digits", false, 123456, "its size changed from 123,456 bytes to 123 bytes" },
#ifndef _WIN32
        { "link counted 0", root / "link", false, 0, "" },
        { "link not followed to its file", root / "link", false, 1234, "its size changed from 1,234 bytes to 0 bytes" },
        { "link not followed to its folder", root / "link to folder", true, 0, "it is no longer a folder" },
        { "fifo counted 0", root / "fifo", false, 0, "" },
#endif
    };
    for (const auto& row : rows)
        EXPECT_EQ(entryChange({ row.path.string(), row.directory, row.size }), row.change) << row.name;
}

} // namespace
