#include "tools/scan-cli/ProgressLine.h"

#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

size_t terminalWidth()
{
    winsize size {};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

} // namespace

ProgressLine::ProgressLine(bool terminal)
    : terminal(terminal), started(std::chrono::steady_clock::now()), lastDrawn(started - std::chrono::seconds(1))
{
}

std::string ProgressLine::formatBytes(uint64_t bytes)
{
    static const char* const units[] = { "KiB", "MiB", "GiB", "TiB", "PiB", "EiB" };
    if (bytes < 1024)
        return std::to_string(bytes) + " B";
    double value = double(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1023.95 && unit < 5) {
        value /= 1024.0;
        unit += 1;
    }
    char text[32];
    std::snprintf(text, sizeof text, value < 9.995 ? "%.2f %s" : value < 99.95 ? "%.1f %s" : "%.0f %s", value,
                  units[unit]);
    return text;
}

std::string ProgressLine::formatCount(uint64_t count)
{
    const std::string digits = std::to_string(count);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

std::string ProgressLine::compose(uint64_t files, uint64_t bytes, double seconds, const std::string& directory,
                                  size_t width)
{
    const auto whole = uint64_t(seconds);
    char time[32];
    std::snprintf(time, sizeof time, "%u:%02u", unsigned(whole / 60), unsigned(whole % 60));
    std::string line = formatCount(files) + " files  " + formatBytes(bytes) + "  " + time + "  ";
    if (line.size() >= width)
        return line.substr(0, width);
    // Control bytes of a name would move the cursor: they show as '?'.
    std::string shown;
    shown.reserve(directory.size());
    for (unsigned char c : directory)
        shown += c < 0x20 || c == 0x7f ? '?' : char(c);
    const size_t room = width - line.size();
    if (shown.size() > room) {
        // Cut at a character boundary, never inside a UTF-8 sequence.
        size_t from = shown.size() - (room > 3 ? room - 3 : 0);
        while (from < shown.size() && (static_cast<unsigned char>(shown[from]) & 0xC0) == 0x80)
            from += 1;
        std::string cut(room > 3 ? "..." : "");
        cut.append(shown, from, std::string::npos);
        shown = std::move(cut);
    }
    return line + shown;
}

void ProgressLine::update(uint64_t files, uint64_t bytes, const std::string& directory)
{
    if (!terminal)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDrawn < std::chrono::milliseconds(100))
        return;
    lastDrawn = now;
    const double seconds = std::chrono::duration<double>(now - started).count();
    // One column spare: a line that fills the last column makes some terminals wrap.
    const std::string line = compose(files, bytes, seconds, directory, terminalWidth() - 1);
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
    drawn = true;
}

void ProgressLine::clear()
{
    if (!drawn)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    drawn = false;
}
