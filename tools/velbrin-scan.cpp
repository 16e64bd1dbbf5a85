// velbrin-scan DIRECTORY [-o FILE] [-q]: scans DIRECTORY with the program's scanner and writes the
// scan as a JSON export (the format ncdu and gdu share), for machines where no window can open: a
// server's disk can be scanned there and its chart looked at elsewhere. Needs no display and links
// no GUI or GL library. The export is written while the scan runs, so memory stays bounded however
// large the disk. A file is written under a temporary name and renamed when complete, so an
// interrupted or failed run leaves nothing half-written behind.
#include "engine/core/OutputFile.h"
#include "engine/core/StandardStreams.h"
#include "scan/FileSizeMapper.h"
#include "scan/ScanDirectory.h"
#include "scan/ScanListener.h"
#include "scan/ScanSink.h"
#include "scanfile/ByteSink.h"
#include "scanfile/ScanFileStream.h"
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
#include <vector>
#include <unistd.h>

namespace {

constexpr int EXIT_WRITTEN = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_INTERRUPTED = 130;

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) { interrupted = 1; }

// Every signal whose default would end the run ends it the same clean way, so that the temporary
// file is removed: Ctrl+C, a closed terminal, a polite kill, and the rest of the default-terminating
// kind. One the caller set to be ignored (a background job's SIGINT, nohup's SIGHUP) stays ignored.
// A closed pipe and a file size limit make the write fail (EPIPE, EFBIG) instead of killing the
// program, so that failure is reported and its file removed as any other write failure.
void catchSignals()
{
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    std::vector<int> ending { SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGIO };
#ifdef SIGPWR
    ending.push_back(SIGPWR);
#endif
#ifdef SIGSTKFLT
    ending.push_back(SIGSTKFLT);
#endif
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal)
        ending.push_back(signal);
    for (int signal : ending) {
        struct sigaction inherited {};
        if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &action, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

int failure(const std::string& text)
{
    std::fprintf(stderr, "velbrin-scan: %s\n", text.c_str());
    return EXIT_FAILED;
}

// `partOnStandardOutput`: a streamed export had begun on standard output, which cannot be undone.
int interruption(bool partOnStandardOutput = false)
{
    std::fputs(partOnStandardOutput ? "velbrin-scan: interrupted; standard output holds an incomplete export\n"
                                    : "velbrin-scan: interrupted; nothing was written\n",
               stderr);
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

// The same count for a streamed scan, on the way to the export; the scanner's worker calls it.
class CountingSink final : public ScanSink {
public:
    explicit CountingSink(ScanSink& next) : next(next) {}
    bool directoryEntered(std::string_view name, bool unlisted) override { return next.directoryEntered(name, unlisted); }
    bool fileFound(std::string_view name, uint64_t size, bool unreadable) override
    {
        files.fetch_add(1, std::memory_order_relaxed);
        return next.fileFound(name, size, unreadable);
    }
    bool directoryLeft(uint64_t size) override { return next.directoryLeft(size); }
    std::atomic<uint64_t> files { 0 };

private:
    ScanSink& next;
};

// Where the export goes: standard output, or a temporary file that commit() renames to the
// output's name. Dropping it uncommitted removes the temporary file.
class ExportTarget {
public:
    bool open(const std::string& path, std::string& error)
    {
        output = path;
        if (output != "-" && !file.open(output, error))
            return false;
        byteSink = sinkForPath(output, output == "-" ? stdout : file.stream());
        return true;
    }
    ByteSink& sink() { return *byteSink; }
    // A write failure's message, naming the output.
    std::string failure(const std::string& reason) const
    {
        return (output == "-" ? "cannot write to standard output" : "cannot write " + output) + ": " + reason;
    }
    bool commit(std::string& error) { return output == "-" || file.commit(error); }
    // The files of this export a walk of its own folder must not list: the file it replaces (when
    // there is one) and, once open, the temporary file it is written to.
    static std::vector<DirectoryLister::FileIdentity> filesOf(const std::string& path, const ExportTarget* opened)
    {
        std::vector<DirectoryLister::FileIdentity> files;
        struct stat status;
        if (path != "-" && stat(path.c_str(), &status) == 0)
            files.push_back({ uint64_t(status.st_dev), uint64_t(status.st_ino) });
        if (opened && !opened->file.temporaryPath().empty() && stat(opened->file.temporaryPath().c_str(), &status) == 0)
            files.push_back({ uint64_t(status.st_dev), uint64_t(status.st_ino) });
        return files;
    }

private:
    std::string output;
    orvex::OutputFile file;
    orvex::UniquePtr<ByteSink> byteSink;
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

// Draws the progress until the scan ends; false when interrupted (the scan is then cancelled).
bool followScan(FileSizeMapper& mapper, const std::atomic<uint64_t>& files, bool showProgress)
{
    ProgressLine progress(showProgress);
    std::string directory;
    uint64_t bytes = 0, rootNameLength = 0;
    while (mapper.getProgress(directory, bytes, rootNameLength) == SCANNING) {
        if (interrupted) {
            mapper.cancel();
            progress.clear();
            return false;
        }
        progress.update(files.load(std::memory_order_relaxed), bytes, directory);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    progress.clear();
    return true;
}

int cannotRead(const std::string& directory, const ScanProblems& problems)
{
    return failure("cannot read " + directory + ": " + std::strerror(problems.firstError ? problems.firstError : EIO));
}

void warnAbout(const ScanProblems& problems)
{
    if (const std::string text = describeProblems(problems); !text.empty())
        std::fprintf(stderr, "velbrin-scan: warning: %s\n", text.c_str());
}

// Scans `root` into its export as the walk goes: directories the scan could not read completely
// and files whose size it could not read are marked in it. Returns the exit status.
int scanAndStream(const std::string& root, const ScanOptions& options, bool showProgress)
{
    std::string error;
    ExportTarget target;
    if (!target.open(options.output, error))
        return failure(error);
    ScanFileStream exporter(VELBRIN_VERSION, uint64_t(std::time(nullptr)), target.sink());
    CountingSink counter(exporter);
    FileSizeMapper mapper; // declared last: its worker is joined before the sinks go
    mapper.setSink(&counter);
    mapper.setLeftOutFiles(ExportTarget::filesOf(options.output, &target));
    mapper.mapDirectory(root);
    if (!followScan(mapper, counter.files, showProgress) || interrupted)
        return interruption(options.output == "-" && exporter.started());
    const ScanProblems problems = mapper.problems();
    if (!mapper.takeResult() || problems.rootUnlisted)
        return cannotRead(options.directory, problems);
    if (const std::string reason = exporter.error(); !reason.empty())
        return failure(target.failure(reason)); // the scan stopped there
    warnAbout(problems);
    if (!exporter.finish())
        return failure(target.failure(exporter.error()));
    if (interrupted)
        return interruption(options.output == "-");
    if (!target.commit(error))
        return failure(error);
    return EXIT_WRITTEN;
}

// The same by way of the whole tree, written once the scan is complete (--whole-tree).
int scanThenWrite(const std::string& root, const ScanOptions& options, bool showProgress)
{
    FileCounter counter;
    FileSizeMapper mapper;
    mapper.setListener(&counter);
    mapper.setLeftOutFiles(ExportTarget::filesOf(options.output, nullptr)); // written after the walk
    mapper.mapDirectory(root);
    if (!followScan(mapper, counter.files, showProgress) || interrupted)
        return interruption();
    const ScanProblems problems = mapper.problems();
    orvex::UniquePtr<FilesystemNode> tree = mapper.takeResult();
    if (!tree || problems.rootUnlisted)
        return cannotRead(options.directory, problems);
    warnAbout(problems);
    std::string error;
    ExportTarget target;
    if (!target.open(options.output, error))
        return failure(error);
    ScanFileWriter writer(VELBRIN_VERSION, uint64_t(std::time(nullptr)));
    if (!writer.write(*tree, target.sink(), problems.unlistedNodes))
        return failure(target.failure(writer.error())); // the temporary file goes with `target`
    if (interrupted)
        return interruption();
    if (!target.commit(error))
        return failure(error);
    return EXIT_WRITTEN;
}

} // namespace

int main(int argc, char** argv)
{
    orvex::openStandardStreams();
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
    // Standard output is then /dev/null: the export would vanish without a word.
    if (options.output == "-" && orvex::standardStreamWasClosed(orvex::StandardStream::STANDARD_OUTPUT))
        return failure("cannot write to standard output: it was closed when velbrin-scan started (give -o FILE)");
    std::string root;
    if (!resolveDirectory(options.directory, root, error))
        return failure(error);
    // An output that cannot be written is found before the scan, which may take long.
    if (options.output != "-" && !orvex::OutputFile::checkWritable(options.output, error))
        return failure(error);
    catchSignals();
    const bool showProgress = !options.quiet && isatty(STDERR_FILENO);
    return options.wholeTree ? scanThenWrite(root, options, showProgress) : scanAndStream(root, options, showProgress);
}
