// TreeFolding: keeps a size tree that is being built depth first small, by replacing what can
// never get a cell of the chart with FoldedEntry summaries as each folder completes.
//
// The chart leaves out every node smaller than its minimum, max(1, total >> 20), with its subtree.
// The bytes seen so far only grow towards the final total, so an entry below max(1, seen >> 20)
// when its folder completes stays below the final minimum: it can be folded without changing a
// cell. A complete folder below that threshold keeps its own node (its parent's layout needs it)
// and gives its whole contents to one summary; in any other folder, each run of consecutive small
// children becomes one summary. A summary keeps the bytes and counts and, for the layout, how many
// children it stands for and the largest of them, so the palette and the balance test come out
// exactly as they would over the children themselves. An entry that could not be read, and every
// folder above it, is never folded, so the scan's problem list keeps pointing at live nodes.
//
// Folding starts once the tree has `budget` nodes (0: from the start; `never`: not at all) and
// goes on from then. A folder folded early was judged against a small threshold; so whenever the
// tree has grown enough since the last time (and has at least 2^20 nodes), one pass over every
// complete folder folds again against today's threshold, which keeps the tree near what can be
// drawn at a cost proportional to its size. Once folding has started, the root's completion ends
// with such a pass against the final total whatever the tree's size. The builder
// (the scanner's walk or a stored scan's reader) calls, in walk order: folderOpened for each
// folder right after linking it (and for the root), nodeMade for every node it links, keep for an
// entry that could not be read, and folderClosed when a folder is complete. One thread.
#pragma once

#include "scan/FilesystemNode.h"

#include <cstdint>
#include <unordered_set>
#include <vector>

class TreeFolding {
public:
    static constexpr uint64_t never = ~uint64_t(0);
    // The program's budget unless its settings say otherwise: every tree that fits in a few
    // gigabytes is kept whole.
    static constexpr uint64_t defaultBudget = 8'000'000;

    // Held around each change a fold makes, on the builder's thread, so that another thread
    // reading the tree (the progress path) can keep out until it is done.
    class Guard {
    public:
        virtual ~Guard() = default;
        // `folder`, whose children are about to change, stays; what is below it may go.
        virtual void lock(const FilesystemNode* folder) = 0;
        virtual void unlock() = 0;
    };

    // `refoldFrom`: the smallest tree a pass over the whole tree is worth (tests make it small).
    explicit TreeFolding(uint64_t budget = never, Guard* guard = nullptr, uint64_t refoldFrom = uint64_t(1) << 20)
        : budget(budget), guard(guard), refoldFrom(refoldFrom)
    {
    }

    // The threshold below which an entry can be folded once `seen` bytes are in the tree: the
    // chart's minimum cell for a total of `seen`.
    static uint64_t threshold(uint64_t seen) { return seen < (uint64_t(1) << 20) ? 1 : seen >> 20; }

    void nodeMade() { nodes += 1; }
    // `folder` was just linked into the tree in the innermost open folder (or is the root) and
    // is about to be filled.
    void folderOpened(FilesystemNode* folder);
    // `node` could not be read: a child of the innermost open folder, or that folder itself. It
    // keeps its node, and so does every folder above it.
    void keep(const FilesystemNode* node);
    // The innermost open folder, `folder`, is complete and `seen` bytes are in the tree: folds
    // what in it can be folded.
    void folderClosed(FilesystemNode* folder, uint64_t seen);

    // For a tree built and folded with a TreeFolding of its own that has finished: folds the
    // complete tree under `root` again against the chart's minimum for `total` bytes (a list of
    // scans' final total, which its scans did not know), keeping the nodes in `unreadable` that
    // are under `root` and every folder above them. liveNodes() then counts the tree under root.
    void refoldAgainst(FilesystemNode* root, uint64_t total, const std::vector<const FilesystemNode*>& unreadable);

    // Nodes in the tree now (made, less those folded away, plus the summaries).
    uint64_t liveNodes() const { return nodes; }
    // Whether folders are folded as they complete: from the moment the budget is reached on.
    bool folding() { return started = started || nodes >= budget; }

private:
    struct Open {
        FilesystemNode* folder;
        bool keepsSomething; // it or something below it could not be read
    };
    struct Run {
        int64_t first; // the first child of the run
        int64_t end;   // one past its last
    };

    bool foldable(const FilesystemNode* child, bool checkKept, uint64_t below) const;
    void findRuns(const FilesystemNode* folder, bool checkKept, uint64_t below);
    uint64_t tally(const FilesystemNode* node, FoldedEntry& entry);
    void fold(FilesystemNode* folder);
    static bool worthASummary(const FilesystemNode::Children& children, int64_t first, int64_t end);
    void planContents(const FilesystemNode* folder);
    void refold(FilesystemNode* root, uint64_t below);
    bool isKept(const FilesystemNode* node) const;

    uint64_t budget;
    Guard* guard;
    uint64_t refoldFrom;
    uint64_t nodes = 0;
    bool started = false;
    uint64_t nextRefold = 0; // the node count that starts the next pass
    std::vector<Open> open;
    // Nodes that must not be folded: what could not be read and the folders above it. Looked up
    // only in folders that hold one.
    std::unordered_set<const FilesystemNode*> kept;
    // Reused from fold to fold.
    std::vector<Run> runs;
    std::vector<orvex::UniquePtr<FilesystemNode>> summaries;
    std::vector<const FilesystemNode*> walkStack;
    struct Visit {
        FilesystemNode* folder;
        int64_t next;
    };
    std::vector<Visit> visits;
};
