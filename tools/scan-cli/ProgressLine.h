// ProgressLine: one line of scan progress on a terminal (standard error), redrawn in place:
// files, bytes, elapsed time and the directory being walked, cut to the terminal's width.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

class ProgressLine {
public:
    // Draws only when `terminal` is true; otherwise every call does nothing.
    explicit ProgressLine(bool terminal);

    // Redraws the line unless the last drawing was less than a tenth of a second ago.
    void update(uint64_t files, uint64_t bytes, const std::string& directory);
    // Clears the line, so that whatever follows starts on an empty one.
    void clear();

    // "12.3 GiB" style, binary units, three significant digits (exact below 1 KiB).
    static std::string formatBytes(uint64_t bytes);
    // "1,234,567"
    static std::string formatCount(uint64_t count);
    // The line for these figures, at most `width` columns (counting bytes; the directory's start
    // is what gets cut, since its end names where the scan is).
    static std::string compose(uint64_t files, uint64_t bytes, double seconds, const std::string& directory,
                               size_t width);

private:
    bool terminal;
    bool drawn = false;
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point lastDrawn;
};
