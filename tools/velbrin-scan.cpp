// velbrin-scan DIRECTORY [-o FILE] [-q]: scans DIRECTORY with the program's scanner and writes the
// scan as a JSON export (the format ncdu and gdu share), for machines where no window can open: a
// server's disk can be scanned there and its chart looked at elsewhere. Needs no display and links
// no GUI or GL library. A file is written under a temporary name and renamed when complete, so an
// interrupted or failed run leaves nothing half-written behind.
#include "engine/core/OutputFile.h"
#include "scan/FileSizeMapper.h"
#include "scan/ScanDirectory.h"
#include "scan/ScanListener.h"
#include "scanfile/ByteSink.h"
#include "scanfile/ScanFileWriter.h"
#include "tools/scan-cli/ProgressLine.h"
#include "tools/scan-cli/ScanOptions.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int EXIT_WRITTEN = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_INTERRUPTED = 130;

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) { interrupted = 1; }

// Ctrl+C, a closed terminal and a polite kill all end the run the same clean way. A closed pipe
// makes the write fail with EPIPE instead of killing the program, so its message is shown.
void catchSignals()
{
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (int signal : { SIGINT, SIGTERM, SIGHUP })
        sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

int failure(const std::string& text)
{
    std::fprintf(stderr, "velbrin-scan: %s\n", text.c_str());
    return EXIT_FAILED;
}

int interruption()
{
    std::fputs("velbrin-scan: interrupted; nothing was written\n", stderr);
    return EXIT_INTERRUPTED;
}

// Counts files for the progress line; the scanner's worker calls it.
class FileCounter final : public ScanListener {
public:
    void scanStarted(const char*, size_t) override {}
    void directoryEntered(FilesystemNode*) override {}
    void fileAdded(FilesystemNode*) override { files.fetch_add(1, std::memory_order_relaxed); }
    void directoryLeft(FilesystemNode*) override {}
    std::atomic<uint64_t> files { 0 };
};

// The directory as an absolute path without links, which is what the export names as its root:
// a reader elsewhere can then tell whether the same path exists there.
bool resolveDirectory(const std::string& given, std::string& resolved, std::string& error)
{
    char* real = realpath(given.c_str(), nullptr);
    if (!real) {
        error = "cannot read " + given + ": " + std::strerror(errno);
        return false;
    }
    resolved = real;
    std::free(real);
    struct stat status;
    if (stat(resolved.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        error = given + " is not a directory";
        return false;
    }
    return true;
}

// Scans `root` while drawing the progress; null when interrupted (the scan is cancelled) or when
// the root could not be read.
orvex::UniquePtr<FilesystemNode> scanWithProgress(const std::string& root, bool showProgress, ScanProblems& problems)
{
    FileCounter counter;
    FileSizeMapper mapper;
    mapper.setListener(&counter);
    mapper.mapDirectory(root);
    ProgressLine progress(showProgress);
    std::string directory;
    uint64_t bytes = 0, rootNameLength = 0;
    while (mapper.getProgress(directory, bytes, rootNameLength) == SCANNING) {
        if (interrupted) {
            mapper.cancel();
            progress.clear();
            return nullptr;
        }
        progress.update(counter.files.load(std::memory_order_relaxed), bytes, directory);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    progress.clear();
    problems = mapper.problems();
    return mapper.takeResult();
}

// Writes the export; directories the scan could not read completely and files whose size it
// could not read are marked in it.
bool writeExport(const FilesystemNode& tree, const ScanProblems& problems, const std::string& output, std::string& error)
{
    ScanFileWriter writer(VELBRIN_VERSION, uint64_t(std::time(nullptr)));
    if (output == "-") {
        orvex::UniquePtr<ByteSink> sink = sinkForPath(output, stdout);
        if (!writer.write(tree, *sink, problems.unlistedNodes)) {
            error = "cannot write to standard output: " + writer.error();
            return false;
        }
        return true;
    }
    orvex::OutputFile file;
    if (!file.open(output, error))
        return false;
    orvex::UniquePtr<ByteSink> sink = sinkForPath(output, file.stream());
    if (!writer.write(tree, *sink, problems.unlistedNodes)) {
        error = "cannot write " + output + ": " + writer.error();
        return false; // the temporary file goes with `file`
    }
    if (interrupted)
        return false;
    return file.commit(error);
}

} // namespace

int main(int argc, char** argv)
{
    std::string error;
    ScanRequest request = ScanRequest::RUN;
    const std::optional<ScanOptions> parsed = parseScanOptions(argc, argv, error, request);
    if (request == ScanRequest::HELP) {
        std::fputs(SCAN_USAGE, stdout);
        return EXIT_WRITTEN;
    }
    if (request == ScanRequest::VERSION) {
        std::printf("velbrin-scan %s\n", VELBRIN_VERSION);
        return EXIT_WRITTEN;
    }
    if (!parsed) {
        std::fprintf(stderr, "velbrin-scan: %s\n%s", error.c_str(), SCAN_USAGE);
        return EXIT_USAGE;
    }
    const ScanOptions& options = *parsed;
    std::string root;
    if (!resolveDirectory(options.directory, root, error))
        return failure(error);
    // An output that cannot be written is found before the scan, which may take long.
    if (options.output != "-" && !orvex::OutputFile::checkWritable(options.output, error))
        return failure(error);
    catchSignals();

    ScanProblems problems;
    orvex::UniquePtr<FilesystemNode> tree = scanWithProgress(root, !options.quiet && isatty(STDERR_FILENO), problems);
    if (interrupted)
        return interruption();
    if (!tree || problems.rootUnlisted)
        return failure("cannot read " + options.directory + ": " + std::strerror(problems.firstError ? problems.firstError : EIO));
    if (const std::string text = describeProblems(problems); !text.empty())
        std::fprintf(stderr, "velbrin-scan: warning: %s\n", text.c_str());
    if (!writeExport(*tree, problems, options.output, error))
        return interrupted ? interruption() : failure(error);
    return EXIT_WRITTEN;
}
