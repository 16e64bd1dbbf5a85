// The check of a directory named on the command line before its scan starts: why it cannot be
// scanned, as a sentence fragment for the message box ("No such file or directory"), or an empty
// string when it can (a readable directory, or a plain file, which maps as a one-node tree).
// Paths are UTF-8; on Windows they go through the wide API, so any name works.
#pragma once

#include <string>

std::string startPathProblem(const std::string& path);

// Whether anything (a file, a directory, a link) exists at `path` on this machine. A chart read from
// a stored scan may name paths of another machine: opening or revealing those does nothing.
bool pathExists(const std::string& path);
