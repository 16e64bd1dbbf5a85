// DetailsText: the one line the details bar shows about a node of a finished tree: its full path,
// its size as the chart's labels write it and in exact bytes, its share of its parent and of the
// whole tree, for a folder the files and folders below it, whether it could not be read, and,
// where the bar shows the focused folder, what the scan could not read. Paths are made safe to
// show (bytes that are not UTF-8 become U+FFFD, control characters visible escapes). To fit a
// width the caller measures, the line gives up, in this order, the exact bytes, the shares, the
// counts, then the middle of its paths; the item's own name goes last. Each name of a path that
// holds right-to-left text is wrapped in a bidi isolate, so the separators stay between the names
// they separate. Pure text building; the counts come from one TreeCounts pass made at
// construction. Relies on the tree outliving it. Main thread.
#pragma once

#include "scan/FileSizeMapper.h"
#include "scan/ProblemsBelow.h"
#include "scan/TreeImporter.h"
#include "scan/TreeCounts.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

struct SmallItemBlock;

class DetailsText {
public:
    // Pixels (or any unit `width` is given in) that a candidate line takes.
    using Measure = std::function<double(std::u32string_view)>;

    // Counts the tree under `root` and keeps what the scan could not read.
    DetailsText(const FilesystemNode* root, const ScanProblems& problems);

    // The line about `node` (empty for null). With `withScanNotices`, what the scan could not read
    // and a saturated total follow. The full line when it fits `width` by `measure`; else details
    // and the middle of the paths give way as the header says, then the end of the line is cut.
    std::u32string describe(const FilesystemNode* node, bool withScanNotices) const;
    std::u32string describe(const FilesystemNode* node, bool withScanNotices, double width, const Measure& measure) const;

    // The line about a block of children too small to draw: the folder's path, then how many
    // items and bytes the block stands for, fitted to `width` as describe fits a node's line.
    std::u32string describeBlock(const SmallItemBlock& block, double width, const Measure& measure) const;

    // What a stored scan's root under a summary says besides its path (", scanned 2026-12-10
    // 12:24"), shown after that root's path; never part of a path.
    void noteStoredScans(const ImportedScan& imported);

    const TreeCounts& counts() const { return treeCounts; }
    // Whether `node` is a folder that could not be listed or a file whose size could not be read.
    bool unreadable(const FilesystemNode* node) const { return unreadableNodes.count(node) != 0; }

    // File-system bytes as text to show: each byte of an invalid UTF-8 sequence is U+FFFD, control
    // characters are escapes ("\n", "\t", "\r", "\x1B", "\u0085"), as are the line and paragraph
    // separators, so that a name always stays on one line.
    static std::u32string displayText(std::string_view bytes);
    // 1234567 -> "1,234,567".
    static std::string groupedNumber(uint64_t value);
    // amount / whole in percent with one decimal ("12.3 %"); "< 0.1 %" for a share above 0 that
    // would round to 0.0; "0.0 %" for nothing or an empty whole.
    static std::string shareText(uint64_t amount, uint64_t whole);
    // `path` in at most `budget` code points (at least "…"): the start, "…" and the last component
    // whole while that fits; else "…", the start of the last component and "…".
    static std::u32string elidePath(std::u32string_view path, size_t budget);
    // The budget below which elidePath starts cutting the last component: "…" and that component.
    static size_t lastComponentBudget(std::u32string_view path);
    // `path` with each name that holds right-to-left text wrapped in a first-strong isolate
    // (U+2068 … U+2069), so that it is ordered on its own.
    static std::u32string isolateNames(std::u32string_view path);
    // The last component of a scanned path ("/usr/" -> "usr", "C:\\" -> "C:"); a path of
    // separators only is itself.
    static std::string_view lastComponent(std::string_view path);

private:
    // The line's parts; `dropped` of the optional ones (exact bytes, shares, counts) are left out.
    struct Segments {
        std::u32string path;
        std::u32string note;       // a stored scan's time after its root's path
        std::u32string size;       // always kept
        std::u32string exact;      // given up first
        std::u32string shares;     // then this
        std::u32string counts;     // then this
        std::u32string state;      // "could not be read": kept
        std::u32string notice;     // what the scan could not read, up to the first unreadable path
        std::u32string noticePath; // elided before `path`
        std::u32string noticeEnd;  // kept
        std::u32string joined(size_t pathBudget, size_t noticeBudget, int dropped) const;
    };
    Segments segments(const FilesystemNode* node, bool withScanNotices) const;
    static std::u32string fit(const Segments& line, double width, const Measure& measure);

    const FilesystemNode* root;
    ScanProblems problems;
    ProblemsBelow problemsBelow; // the notice at a folder counts what lies below it
    TreeCounts treeCounts;
    std::unordered_set<const FilesystemNode*> unreadableNodes;
    std::unordered_map<const FilesystemNode*, std::string> scanNotes;
};
