// velbrin-scan run as a program: exit statuses and messages for bad arguments, a root that cannot
// be read and an output that cannot be written; exports in the three encodings that read back to
// the scanned tree, streamed byte for byte as the whole tree is written; an interrupted run and one
// whose writes fail that leave no file behind and an existing file untouched.
// Also the progress line's text.
#include "scan/FileSizeMapper.h"
#include "scan/ScanDirectory.h"
#include "scanfile/ScanFileImporter.h"
#include "tools/scan-cli/ProgressLine.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string TOOL = VELBRIN_SCAN_TOOL;

struct Outcome {
    int status = -1; // exit status, or 128 + signal
    std::string err;
};

class ScanCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("velbrin-scan-cli-" + std::to_string(std::random_device()()));
        fs::create_directories(dir / "tree" / "sub");
        write(dir / "tree" / "a.bin", std::string(1000, 'a'));
        write(dir / "tree" / "sub" / "b.bin", std::string(234, 'b'));
        write(dir / "tree" / "sub" / "we\x01ird \xff name", "xyz");
    }
    void TearDown() override { fs::remove_all(dir); }

    static void write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    static std::string read(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Runs the tool with `arguments` (already quoted for sh), standard output to out.txt, then
    // the redirections `after` (">&-" closes standard output).
    Outcome run(const std::string& arguments, const std::string& after = "")
    {
        const std::string command = "'" + TOOL + "' " + arguments + " >'" + (dir / "out.txt").string() + "' 2>'"
            + (dir / "err.txt").string() + "' " + after;
        const int raw = std::system(command.c_str());
        Outcome result;
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        result.err = read(dir / "err.txt");
        return result;
    }
    std::string quoted(const fs::path& path) const { return "'" + path.string() + "'"; }
    // No temporary file of the output `name` is left in the folder.
    void expectNoTemporaryOf(const std::string& name)
    {
        for (const fs::directory_entry& entry : fs::directory_iterator(dir))
            EXPECT_NE(entry.path().filename().string().rfind("." + name, 0), 0u) << "a temporary file was left: " << entry.path();
    }

    fs::path dir;
};

} // namespace

TEST_F(ScanCli, ArgumentAndInputErrorsGiveTheirStatusAndName)
{
    struct Case {
        std::string arguments;
        int status;
        std::string message;
    };
    const Case cases[] = {
        { "", 2, "no DIRECTORY given" },
        { "--frobnicate " + quoted(dir / "tree"), 2, "unknown option --frobnicate" },
        { quoted(dir / "tree") + " -o", 2, "-o needs a FILE" },
        { quoted(dir / "tree") + " " + quoted(dir), 2, "one DIRECTORY only" },
        { quoted(dir / "missing"), 1, "cannot read " + (dir / "missing").string() + ": No such file or directory" },
        { quoted(dir / "tree" / "a.bin"), 1, "is not a directory" },
        { quoted(dir / "tree") + " -o " + quoted(dir / "tree"), 1, "cannot write" },
        { quoted(dir / "tree") + " -o " + quoted(dir / "no-such-dir" / "x.json"), 1, "x.json" },
    };
    for (const Case& c : cases) {
        const Outcome result = run(c.arguments);
        EXPECT_EQ(result.status, c.status) << c.arguments << "\n" << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << c.arguments << "\n" << result.err;
    }
    EXPECT_EQ(run("--help").status, 0);
    EXPECT_FALSE(fs::exists(dir / "no-such-dir"));
}

TEST_F(ScanCli, ExportsReadBackToTheScannedTreeInEveryEncoding)
{
    ScanProblems problems;
    orvex::UniquePtr<FilesystemNode> scanned = scanDirectory((dir / "tree").string(), &problems);
    ASSERT_NE(scanned, nullptr);
    for (const char* name : { "scan.json", "scan.json.gz", "scan.json.zst" }) {
        const Outcome result = run(quoted(dir / "tree") + " -q -o " + quoted(dir / name));
        ASSERT_EQ(result.status, 0) << name << ": " << result.err;
        ScanFileImporter importer;
        ImportedScan origin;
        orvex::UniquePtr<FilesystemNode> imported =
            scanDirectory((dir / name).string(), &problems, &importer, &origin);
        ASSERT_NE(imported, nullptr) << name << ": " << problems.importFailure;
        EXPECT_EQ(imported->name.view(), fs::canonical(dir / "tree").string()) << "the root names the absolute path";
        EXPECT_EQ(imported->size, scanned->size) << name;
        EXPECT_TRUE(origin.hasTimestamp) << name;
        EXPECT_EQ(origin.file, (dir / name).string());
    }
    // Standard output is the default, uncompressed.
    ASSERT_EQ(run(quoted(dir / "tree") + " -q").status, 0);
    EXPECT_EQ(read(dir / "out.txt").rfind("[1,", 0), 0u);
    EXPECT_EQ(read(dir / "err.txt"), "") << "quiet, and no progress when standard error is not a terminal";
}

TEST_F(ScanCli, InterruptedRunLeavesNoFileAndKeepsAnExistingOne)
{
    // Each entry's size takes 2 ms to read (a preload library), so the scan of these 2,000 files
    // is still running when the signal comes, however fast the machine.
    for (int d = 0; d < 20; ++d) {
        fs::create_directories(dir / "tree" / "many" / std::to_string(d));
        for (int f = 0; f < 100; ++f)
            write(dir / "tree" / "many" / std::to_string(d) / std::to_string(f), "");
    }
    write(dir / "kept.json", "precious");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("LD_PRELOAD", VELBRIN_SLOW_STAT, 1);
        setenv("VELBRIN_E2E_STAT_DELAY_US", "2000", 1);
        setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
        const std::string target = (dir / "kept.json").string(), tree = (dir / "tree").string();
        execl(TOOL.c_str(), TOOL.c_str(), tree.c_str(), "-q", "-o", target.c_str(), nullptr);
        _exit(127);
    }
    usleep(300000);
    kill(child, SIGINT);
    int raw = 0;
    ASSERT_EQ(waitpid(child, &raw, 0), child);
    ASSERT_TRUE(WIFEXITED(raw)) << "ended by signal " << WTERMSIG(raw);
    EXPECT_EQ(WEXITSTATUS(raw), 130);
    EXPECT_EQ(read(dir / "kept.json"), "precious");
    expectNoTemporaryOf("kept.json");
}

// Every signal that would end the run by default ends it as SIGINT does, with no temporary file
// left; a file size limit fails the write instead of killing the run; a SIGINT the caller ignores
// (a background job of a script) does not stop the run.
TEST_F(ScanCli, SignalsAndLimitsLeaveNoTemporaryFile)
{
    for (int d = 0; d < 20; ++d) {
        fs::create_directories(dir / "tree" / "many" / std::to_string(d));
        for (int f = 0; f < 100; ++f)
            write(dir / "tree" / "many" / std::to_string(d) / std::to_string(f), "");
    }
    struct Row {
        const char* name;
        int signal;          // sent 300 ms after the start; 0: none
        bool smallFileLimit; // 4 KiB, with SIGXFSZ at its default; the export is larger
        bool ignoreInterrupt;
        int status;          // the exit status
    };
    const Row rows[] = {
        { "file size limit", 0, true, false, 1 },
        { "SIGQUIT", SIGQUIT, false, false, 130 },
        { "SIGUSR1", SIGUSR1, false, false, 130 },
        { "SIGALRM", SIGALRM, false, false, 130 },
        { "SIGINT ignored by the caller: the export is written", SIGINT, false, true, 0 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        write(dir / "kept.json", "precious");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (row.smallFileLimit) {
                const rlimit small { 4096, 4096 };
                signal(SIGXFSZ, SIG_DFL);
                if (setrlimit(RLIMIT_FSIZE, &small) != 0)
                    _exit(126);
            } else {
                // Each entry's size takes 2 ms to read: the scan still runs when the signal comes.
                setenv("LD_PRELOAD", VELBRIN_SLOW_STAT, 1);
                setenv("VELBRIN_E2E_STAT_DELAY_US", "2000", 1);
            }
            if (row.ignoreInterrupt)
                signal(SIGINT, SIG_IGN);
            setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
            const std::string target = (dir / "kept.json").string(), tree = (dir / "tree").string();
            execl(TOOL.c_str(), TOOL.c_str(), tree.c_str(), "-q", "-o", target.c_str(), nullptr);
            _exit(127);
        }
        if (row.signal) {
            usleep(300000);
            kill(child, row.signal);
        }
        int raw = 0;
        ASSERT_EQ(waitpid(child, &raw, 0), child);
        EXPECT_TRUE(WIFEXITED(raw)) << "ended by signal " << WTERMSIG(raw);
        EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, row.status);
        EXPECT_EQ(read(dir / "kept.json") == "precious", row.status != 0);
        expectNoTemporaryOf("kept.json");
        for (const fs::directory_entry& entry : fs::directory_iterator(dir))
            if (entry.path().filename().string().rfind(".kept.json", 0) == 0)
                fs::remove(entry.path()); // so that the next row is judged on its own
    }
}

// An export written into the scanned tree lists neither itself nor the file it replaces.
TEST_F(ScanCli, ExportInsideTheScannedTreeIsNotListed)
{
    for (const char* mode : { "", " --whole-tree" }) {
        for (int run = 1; run <= 2; ++run) {
            SCOPED_TRACE(std::string(mode) + " run " + std::to_string(run));
            const Outcome result = this->run(quoted(dir / "tree") + " -q" + mode + " -o " + quoted(dir / "tree" / "scan.json"));
            ASSERT_EQ(result.status, 0) << result.err;
            const std::string exported = read(dir / "tree" / "scan.json");
            EXPECT_EQ(exported.find("scan.json"), std::string::npos) << exported;
            EXPECT_NE(exported.find("\"a.bin\""), std::string::npos) << exported;
        }
        fs::remove(dir / "tree" / "scan.json");
    }
}

// Started with standard output closed, an export to it would go nowhere: the run says so.
TEST_F(ScanCli, ClosedStandardOutputIsNamed)
{
    const Outcome result = run(quoted(dir / "tree") + " -q", ">&-");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("cannot write to standard output: it was closed when velbrin-scan started"), std::string::npos)
        << result.err;
}

TEST_F(ScanCli, StreamedExportIsTheWholeTreeExportByteForByte)
{
    fs::create_directories(dir / "tree" / "empty" / "nested");
    fs::create_directories(dir / "tree" / "sub" / "q\"uo\\te\n");
    write(dir / "tree" / "sub" / "q\"uo\\te\n" / "f\t", std::string(77, 'f'));
    fs::create_hard_link(dir / "tree" / "a.bin", dir / "tree" / "sub" / "hard");
    fs::create_symlink("../a.bin", dir / "tree" / "sub" / "link");
    ASSERT_EQ(run(quoted(dir / "tree") + " -o " + quoted(dir / "streamed.json")).status, 0);
    ASSERT_EQ(run(quoted(dir / "tree") + " --whole-tree -o " + quoted(dir / "whole.json")).status, 0);
    // Only the run's time may differ.
    const std::regex timestamp("\"timestamp\":[0-9]+");
    const std::string streamed = std::regex_replace(read(dir / "streamed.json"), timestamp, "\"timestamp\":0");
    EXPECT_EQ(streamed, std::regex_replace(read(dir / "whole.json"), timestamp, "\"timestamp\":0"));
    EXPECT_NE(streamed.find("{\"name\":\"f\\t\",\"asize\":77}"), std::string::npos) << streamed;
}

// A file size limit makes the export's first write fail mid-scan (EFBIG, as a full disk would give
// ENOSPC): the run fails with the system's reason, and the temporary file is gone.
TEST_F(ScanCli, WriteFailureMidwayLeavesNoFileAndKeepsAnExistingOne)
{
    // Names that escape to six bytes a character: past the export's megabyte buffer, so the
    // first write happens while the scan runs.
    fs::create_directories(dir / "tree" / "wide");
    for (int i = 0; i < 800; ++i)
        write(dir / "tree" / "wide" / (std::to_string(i) + std::string(250, '\x01')), "");
    write(dir / "kept.json", "precious");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit small { 65536, 65536 };
        signal(SIGXFSZ, SIG_IGN); // kept across exec: the write fails instead of killing
        if (setrlimit(RLIMIT_FSIZE, &small) != 0 || !freopen((dir / "err.txt").c_str(), "w", stderr))
            _exit(126);
        setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
        const std::string target = (dir / "kept.json").string(), tree = (dir / "tree").string();
        execl(TOOL.c_str(), TOOL.c_str(), tree.c_str(), "-q", "-o", target.c_str(), nullptr);
        _exit(127);
    }
    int raw = 0;
    ASSERT_EQ(waitpid(child, &raw, 0), child);
    ASSERT_TRUE(WIFEXITED(raw)) << "ended by signal " << WTERMSIG(raw);
    const std::string err = read(dir / "err.txt");
    EXPECT_EQ(WEXITSTATUS(raw), 1) << err;
    EXPECT_NE(err.find("cannot write " + (dir / "kept.json").string() + ": "), std::string::npos) << err;
    EXPECT_NE(err.find("File too large"), std::string::npos) << err;
    EXPECT_EQ(read(dir / "kept.json"), "precious");
    expectNoTemporaryOf("kept.json");
}

// In a directory with read but no search permission the names list but no size can be read. Such
// a file is exported without a size and marked "read_error", the warning counts it, and an import
// of the export reports it again, as peers' readers would. Root reads every size, so the tool runs
// as an unprivileged user then.
TEST_F(ScanCli, FilesWhoseSizeCannotBeReadAreMarkedAndReportedByTheImport)
{
    const fs::path namesOnly = dir / "tree" / "names-only", out = dir / "out";
    fs::create_directories(namesOnly);
    write(namesOnly / "hidden", std::string(500, 'h'));
    fs::create_directories(out);
    fs::permissions(out, fs::perms::all);
    fs::permissions(namesOnly, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    struct Restore {
        fs::path path;
        ~Restore() { fs::permissions(path, fs::perms::owner_all, fs::perm_options::add); }
    } restore { namesOnly };

    constexpr int cannotTest = 77;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(cannotTest);
        struct stat status;
        if (stat((namesOnly / "hidden").c_str(), &status) == 0)
            _exit(cannotTest); // this user still reads the size
        const std::string tree = (dir / "tree").string(), target = (out / "scan.json").string();
        if (!freopen((out / "err.txt").c_str(), "w", stderr))
            _exit(cannotTest);
        execl(TOOL.c_str(), TOOL.c_str(), tree.c_str(), "-q", "-o", target.c_str(), nullptr);
        _exit(127);
    }
    int raw = 0;
    ASSERT_EQ(waitpid(child, &raw, 0), child);
    ASSERT_TRUE(WIFEXITED(raw));
    if (WEXITSTATUS(raw) == cannotTest)
        GTEST_SKIP() << "cannot run the tool as a user that is refused the file's size";
    const std::string err = read(out / "err.txt");
    ASSERT_EQ(WEXITSTATUS(raw), 0) << err;
    EXPECT_NE(err.find("warning: 1 file's size could not be read; its bytes are missing from the total (first: "
                  + (namesOnly / "hidden").string() + ": Permission denied)"),
        std::string::npos)
        << err;
    const std::string exported = read(out / "scan.json");
    EXPECT_NE(exported.find("{\"name\":\"hidden\",\"read_error\":true}"), std::string::npos) << exported;

    ScanProblems problems;
    ScanFileImporter importer;
    ImportedScan origin;
    orvex::UniquePtr<FilesystemNode> imported = scanDirectory((out / "scan.json").string(), &problems, &importer, &origin);
    ASSERT_NE(imported, nullptr) << problems.importFailure;
    EXPECT_EQ(imported->size, 1000u + 234u + 3u);
    EXPECT_EQ(problems.unreadableFiles, 1u);
    EXPECT_EQ(problems.unlistedDirectories, 0u);
    EXPECT_EQ(problems.firstUnlistedPath, (fs::canonical(dir / "tree") / "names-only" / "hidden").string());
    EXPECT_FALSE(problems.rootUnlisted) << "an unreadable file is no reason to refuse the stored scan";
    const std::string caption = rootCaption(imported->name.view(), origin, problems);
    EXPECT_TRUE(caption.ends_with(", 1 entry could not be read")) << "the chart's root label: " << caption;
}

TEST(ScanProgressLine, FiguresAndACutPathFitTheWidth)
{
    EXPECT_EQ(ProgressLine::formatCount(1234567), "1,234,567");
    EXPECT_EQ(ProgressLine::formatCount(999), "999");
    EXPECT_EQ(ProgressLine::formatBytes(1023), "1023 B");
    EXPECT_EQ(ProgressLine::formatBytes(1536), "1.50 KiB");
    EXPECT_EQ(ProgressLine::formatBytes(uint64_t(5) << 40), "5.00 TiB");
    EXPECT_EQ(ProgressLine::compose(3, 10, 65.4, "/srv", 80), "3 files  10 B  1:05  /srv");
    // Cut from the start, at a character boundary; control bytes shown as '?'.
    const std::string path = "/data/\xc3\xa9t\xc3\xa9/a\nb";
    EXPECT_EQ(ProgressLine::compose(1, 0, 0, path, 29), "1 files  0 B  0:00  ...\xc3\xa9/a?b");
    EXPECT_EQ(ProgressLine::compose(1, 0, 0, path, 28), "1 files  0 B  0:00  .../a?b");
}
