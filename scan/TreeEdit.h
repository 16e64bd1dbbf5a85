// TreeEdit: changes to a finished size tree after its scan, made by the thread that owns the tree
// (the program's main thread, between frames, with every structure built from the tree rebuilt
// afterwards). A refreshed folder keeps its node, so pointers to it stay valid; pointers into its
// old contents, or into a removed subtree, do not: `liftOutOf` moves them up first.
#pragma once

#include "engine/core/UniquePtr.h"
#include "scan/FileSizeMapper.h"
#include "scan/FilesystemNode.h"

namespace TreeEdit {

// Gives `folder` the contents of `fresh` (a new scan of the same path: its type, size and children,
// reparented) and sums every ancestor's size again from its children, saturating. The folder's
// name and place stay. Returns the old contents under a node of their own, for the caller to
// destroy once nothing points into them.
orvex::UniquePtr<FilesystemNode> replaceContents(FilesystemNode* folder, orvex::UniquePtr<FilesystemNode> fresh);

// Takes `node` (not the root) out of its parent's children, the others keeping their order, and
// sums every ancestor's size again. Returns the node, detached.
orvex::UniquePtr<FilesystemNode> detach(FilesystemNode* node);

// Sums each size from `folder` up to the root again from its children's, saturating.
void sumAncestors(FilesystemNode* folder);

// `node` itself when it lies outside `subtree`'s contents; else `to`. Read before the edit.
const FilesystemNode* liftOutOf(const FilesystemNode* node, const FilesystemNode* subtree, const FilesystemNode* to);

// Keeping the scan's problems true across an edit. Before it: the entries inside `subtree` are
// dropped (with `keepRoot`, `subtree` itself stays when listed, as a refreshed folder keeps its node).
void forgetProblemsIn(ScanProblems& problems, const FilesystemNode* subtree, bool keepRoot);
// After it: the fresh scan's entries (`added`, may be null) are joined, its root's standing for
// `into`, the folder that took its contents; then the counts, the first path and the saturation of
// the tree under `root` are taken again.
void joinProblems(ScanProblems& problems, const FilesystemNode* root, const ScanProblems* added,
                  const FilesystemNode* addedRoot, const FilesystemNode* into);

} // namespace TreeEdit
