// ShellActions: what the chart asks of the desktop when a cell is double-clicked or its path copied. The application
// implements it over its desktop layer; the chart only names the node. Paths are the node's bytes
// as the scanner saw them, joined with '/' (IcicleNodeLookup::nodePath). Main thread.
#pragma once

#include <string_view>

class ShellActions {
public:
    virtual ~ShellActions() = default;
    // Opens `path` with the desktop's handler: a directory in the file manager.
    virtual void open(std::string_view path) = 0;
    // Shows the file manager on the folder holding `path`, with that file selected.
    virtual void reveal(std::string_view path) = 0;
    // Whether open and reveal can act on `path` here (a stored scan's paths may not exist on this
    // machine); the chart's menu disables them when not.
    virtual bool reachable(std::string_view path) { (void)path; return true; }
    // Puts `text` (UTF-8, a node's path) on the system clipboard; nothing where there is none.
    virtual void copyText(std::string_view text) { (void)text; }
};
