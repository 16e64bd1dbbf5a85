// TreeActions: what the chart's menu asks of the program that owns the tree: rescanning a folder
// and moving an item to the trash, both of which change the tree and so rebuild the chart. The
// program implements it; the menu only names the node and disables what cannot act. Main thread.
#pragma once

struct FilesystemNode;

class TreeActions {
public:
    virtual ~TreeActions() = default;
    // Whether `node` (a folder, or a file standing for its folder) can be scanned again now.
    virtual bool canRefresh(const FilesystemNode* node) const = 0;
    virtual void refresh(const FilesystemNode* node) = 0;
    // Whether `node` may be offered for the trash (a live scan's, not its root, nothing running).
    virtual bool canTrash(const FilesystemNode* node) const = 0;
    // Asks for confirmation first; nothing moves before the user confirms.
    virtual void trash(const FilesystemNode* node) = 0;
};
