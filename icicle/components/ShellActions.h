// ShellActions: what the chart asks of the desktop when a cell is double-clicked or its path copied. The application
// implements it over its desktop layer; the chart only names the node. Paths are the node's bytes
// as the scanner saw them, joined with '/' (IcicleNodeLookup::nodePath). Main thread.
#pragma once

#include <string_view>

class ShellActions {
public:
    virtual ~ShellActions() = default;
    // Shows a directory in the file manager.
    virtual void open(std::string_view path) = 0;
    // Shows the file manager on the folder holding `path`, with that file selected.
    virtual void reveal(std::string_view path) = 0;
    // Puts `text` (UTF-8, a node's path) on the system clipboard; nothing where there is none.
    virtual void copyText(std::string_view text) { (void)text; }
};
