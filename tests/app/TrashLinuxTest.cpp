// The trash on Linux, each move in a trash_probe process of its own (GIO reads the user's data
// folder once per process) with a private HOME and XDG_DATA_HOME: what moves lands in the home
// trash with its .trashinfo record and exact name bytes; what cannot move stays, untouched, and
// leaves nothing in any trash; and nothing is reached through a link swapped in below the scan root.
#include "DesktopTestSupport.h"

#include "app/desktop/Trash.h"
#include "scan/FileSizeMapper.h"

#include <cstdio>
#include <optional>

namespace {

using namespace desktoptest;

// A private home in a scratch folder that uid 65534 can enter, and the probe run against it.
class TrashScratch {
public:
    TrashScratch()
    {
        fs::permissions(scratch.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec
                | fs::perms::others_read | fs::perms::others_exec);
        fs::create_directories(data);
        fs::create_directories(place);
    }
    // Runs trash_probe with `options` before the path, in an environment of nothing but the
    // private home; its output, or "probe failed: ...". `libraryLeaks`: GIO (2.74) loses two
    // strings of its own (the escaped path, the info text) when its final rename fails, so the
    // probe's leak check at exit is off then.
    std::string trash(const fs::path& path, std::vector<std::string> options = {}, bool libraryLeaks = false) const
    {
        const char* asan = std::getenv("ASAN_OPTIONS");
        std::string command = "exec env -i HOME=" + quoted(home) + " XDG_DATA_HOME=" + quoted(data)
            + " GIO_USE_VFS=local ASAN_OPTIONS=" + quoted(std::string(asan ? asan : "") + (libraryLeaks ? ":detect_leaks=0" : ""))
            + " " VELBRIN_TRASH_PROBE;
        options.push_back(path);
        for (const std::string& option : options)
            command += " " + quoted(option);
        FILE* probe = popen(command.c_str(), "r");
        std::string output;
        for (int c; probe && (c = std::fgetc(probe)) != EOF;)
            output.push_back(char(c));
        const int status = probe ? pclose(probe) : -1;
        return status == 0 ? output : "probe failed: status " + std::to_string(status) + ", output " + output;
    }
    // Every entry of the home trash and of any volume trash in the scratch folder.
    std::vector<std::string> trashContents() const
    {
        std::vector<std::string> found;
        for (const fs::path& folder : { data / "Trash/files", data / "Trash/info" })
            if (fs::exists(folder))
                for (const auto& entry : fs::directory_iterator(folder))
                    found.push_back(entry.path().string());
        for (const auto& entry : fs::directory_iterator(scratch.path()))
            if (entry.path().filename().string().rfind(".Trash", 0) == 0)
                found.push_back(entry.path().string());
        return found;
    }
    void giveHomeToNobody() const
    {
        for (const fs::path& folder : { home, home / ".local", data })
            ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
    }

    TemporaryDirectory scratch;
    const fs::path home = scratch.path() / "home";
    const fs::path data = home / ".local/share";
    const fs::path place = home / "place";

private:
    // In single quotes, which keep every byte but the quote itself, newlines included.
    static std::string quoted(const std::string& text)
    {
        std::string result = "'";
        for (char c : text)
            result += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return result + "'";
    }
};

void writeFile(const fs::path& path, const std::string& content)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

TEST(TrashLinux, MovedItemsLandInTheHomeTrashUnderTheirExactNames)
{
    const struct {
        const char* name;
        std::string entry;                                       // below the private home's "place"
        std::vector<std::pair<std::string, std::string>> files; // relative to the entry ("" = the entry) and content
    } rows[] = {
        { "file", "report.txt", { { "", "twelve bytes" } } },
        { "folder with content", "photos", { { "a.jpg", "jpeg" }, { "deeper/b.png", "png!" } } },
        { "newline and bytes that are not UTF-8", "line\nbreak \xff\xfe%41.bin", { { "", "odd" } } },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TrashScratch scratch;
        const fs::path original = scratch.place / row.entry;
        for (const auto& [relative, content] : row.files)
            writeFile(relative.empty() ? original : original / relative, content);

        ASSERT_EQ(scratch.trash(original), "MOVED\n");
        EXPECT_FALSE(fs::exists(fs::symlink_status(original)));
        const fs::path moved = scratch.data / "Trash/files" / row.entry;
        for (const auto& [relative, content] : row.files)
            EXPECT_EQ(readWhole(relative.empty() ? moved : moved / relative), content) << relative;

        const std::string info = readWhole(scratch.data / "Trash/info" / (row.entry + ".trashinfo"));
        const size_t start = info.find("\nPath=");
        ASSERT_NE(start, std::string::npos) << info;
        const std::string encoded = info.substr(start + 6, info.find('\n', start + 6) - start - 6);
        EXPECT_EQ(percentDecode(encoded), original.string());
        EXPECT_NE(info.find("\nDeletionDate="), std::string::npos) << info;
    }
}

TEST(TrashLinux, RefusedItemsStayWhereTheyWereAndNoTrashReceivesThem)
{
    const struct {
        const char* name;
        const char* how; // the probe's option
        std::string message;
    } rows[] = {
        { "folder the user cannot write", "--as-nobody", "you do not have permission to move it" },
        { "read-only volume", "--read-only", "the volume that holds it is read-only" },
        { "gone", nullptr, "it no longer exists" },
        // A volume with its own trash folder mounted on the item, then a file on that volume: the
        // mount point is why, not a missing trash; tmpfs is a volume GIO keeps no trash on.
        { "mount point", "--volume", "it is a mount point: a volume mounted there cannot be moved, only unmounted" },
        { "on a volume GIO keeps no trash on", "--volume", "the trash cannot be used on the volume that holds it (" },
    };
    std::string skipped; // rows this machine cannot set up, reported once the others have run
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TrashScratch scratch;
        const fs::path folder = scratch.place / "kept";
        const fs::path item = folder / "item";
        writeFile(item / "inside", "content");
        std::vector<std::string> options;
        if (row.how && row.how == std::string_view("--as-nobody")) {
            scratch.giveHomeToNobody();
            fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read
                    | fs::perms::others_exec);
            options = { row.how };
        } else if (row.how) {
            options = { row.how, folder.string() };
        }
        const bool onVolume = row.name == std::string_view("on a volume GIO keeps no trash on");
        const fs::path target = onVolume ? item / "file" : row.how ? item : folder / "absent";
        if (row.how && row.how == std::string_view("--volume"))
            options = { row.how, item.string() };

        const std::string output = scratch.trash(target, options, row.how != nullptr);
        fs::permissions(folder, fs::perms::owner_all);
        if (output.rfind("SKIP: ", 0) == 0) {
            skipped += std::string(row.name) + ": " + output.substr(6);
            continue;
        }
        if (onVolume) // the rest is GIO's own words
            EXPECT_EQ(output.substr(0, 8 + row.message.size()), "REFUSED\n" + row.message) << output;
        else
            EXPECT_EQ(output, "REFUSED\n" + row.message);
        EXPECT_EQ(readWhole(item / "inside"), "content");
        EXPECT_EQ(scratch.trashContents(), std::vector<std::string>());
    }
    if (!skipped.empty())
        GTEST_SKIP() << skipped;
}

} // namespace

namespace {

// Maps `path` as the program refreshes a folder found by a scan of its first `rootLength` bytes:
// the folder's size, or nothing when the refresh finds no such folder.
std::optional<uint64_t> refreshedSize(const std::string& path, size_t rootLength)
{
    FileSizeMapper mapper;
    mapper.refreshDirectory(path, rootLength);
    const bool ended = waitUntilTrue([&] { return mapper.currentState() == FINISHED; }, std::chrono::seconds(20));
    EXPECT_TRUE(ended) << "the refresh of " << path << " never finished";
    orvex::UniquePtr<FilesystemNode> tree = mapper.takeResult();
    return tree ? std::optional<uint64_t>(tree->size) : std::nullopt;
}

} // namespace

// What the chart shows is reached as the scan reached it: a link put in place of a scanned folder,
// or of a scanned file, is never followed below the scan root, by a refresh, by the check before a
// move, or by the move itself, even when it leads to a file of the same name and size.
TEST(TrashLinux, LinksSwappedInBelowTheScanRootAreNeverFollowed)
{
    enum class Swap { NONE, FOLDER_TO_OUTSIDE, FOLDER_TO_INSIDE, FILE_TO_OUTSIDE, ROOT_THROUGH_LINK };
    const struct {
        const char* name;
        Swap swap;
        std::optional<uint64_t> refreshed; // docs's size after a refresh, none when it is gone
        std::string change;                // entryChange's sentence ("ROOT" stands for the scan root)
        std::string trashed;               // the probe's output
    } rows[] = {
        { "unchanged", Swap::NONE, 1000, "", "MOVED\n" },
        { "scan root given through a link: followed, as the scan followed it", Swap::ROOT_THROUGH_LINK, 1000, "", "MOVED\n" },
        { "folder now a link to a folder outside", Swap::FOLDER_TO_OUTSIDE, std::nullopt,
          "its folder ROOT/docs is now a symbolic link", "REFUSED\nits folder ROOT/docs is now a symbolic link" },
        { "folder now a link to a folder inside the tree", Swap::FOLDER_TO_INSIDE, std::nullopt,
          "its folder ROOT/docs is now a symbolic link", "REFUSED\nits folder ROOT/docs is now a symbolic link" },
        { "file now a link to a file of the same size", Swap::FILE_TO_OUTSIDE, 0, "it is now a symbolic link",
          "REFUSED\nit is now a symbolic link" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TrashScratch scratch;
        const fs::path tree = scratch.place / "tree";
        writeFile(tree / "docs/victim.bin", std::string(1000, 'd'));
        writeFile(tree / "media/pics/victim.bin", std::string(1000, 'm'));
        writeFile(scratch.place / "outside/victim.bin", std::string(1000, 'o'));
        fs::path root = tree;
        switch (row.swap) {
        case Swap::NONE:
            break;
        case Swap::ROOT_THROUGH_LINK:
            root = scratch.place / "link to tree";
            fs::create_directory_symlink(tree, root);
            break;
        case Swap::FOLDER_TO_OUTSIDE:
        case Swap::FOLDER_TO_INSIDE:
            fs::rename(tree / "docs", scratch.place / "docs.old");
            fs::create_directory_symlink(row.swap == Swap::FOLDER_TO_INSIDE ? tree / "media/pics" : scratch.place / "outside",
                                         tree / "docs");
            break;
        case Swap::FILE_TO_OUTSIDE:
            fs::remove(tree / "docs/victim.bin");
            fs::create_symlink(scratch.place / "outside/victim.bin", tree / "docs/victim.bin");
            break;
        }
        const std::string rootPath = root.string();
        const fs::path item = root / "docs/victim.bin";
        std::string change = row.change, trashed = row.trashed;
        for (std::string* text : { &change, &trashed })
            if (const size_t at = text->find("ROOT"); at != std::string::npos)
                text->replace(at, 4, rootPath);

        EXPECT_EQ(refreshedSize((root / "docs").string(), rootPath.size()), row.refreshed);
        EXPECT_EQ(entryChange({ item.string(), false, 1000, rootPath.size() }), change);
        EXPECT_EQ(scratch.trash(item, { "--below", rootPath }), trashed);
        // Whatever was refused, every file stays whole where it was and no trash took anything.
        EXPECT_EQ(readWhole(scratch.place / "outside/victim.bin"), std::string(1000, 'o'));
        EXPECT_EQ(readWhole(tree / "media/pics/victim.bin"), std::string(1000, 'm'));
        if (trashed != "MOVED\n")
            EXPECT_EQ(scratch.trashContents(), std::vector<std::string>());
        else
            EXPECT_EQ(readWhole(scratch.data / "Trash/files/victim.bin"), std::string(1000, 'd'));
    }
}
