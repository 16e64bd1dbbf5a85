#include "app/ProgressText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

double roundHalfAway(double x) { return std::round(x); } // std::round rounds halves away from zero

} // namespace

std::string formatByteCount(uint64_t bytes)
{
    if (bytes < 1024)
        return std::to_string(bytes) + " B";
    static const char units[] = "kMGTPEZYRQ";
    double x = double(bytes) * 10.0 / 1024.0;
    int unit = 0;
    while (roundHalfAway(x) >= 10000) {
        x /= 1024.0;
        unit += 1;
    }
    int point = 3;
    x *= 10.0;
    if (roundHalfAway(x) < 10000) {
        x *= 10.0;
        point -= 1;
        if (roundHalfAway(x) < 10000) {
            x *= 10.0;
            point -= 1;
        }
    }
    long digits = long(roundHalfAway(x * 0.1));
    if (digits >= 10000) {
        // Floating-point rounding can carry into a fifth digit: keep four.
        if (point < 3) {
            point += 1;
            digits = long(roundHalfAway(double(digits) / 10.0));
        } else {
            unit += 1;
            point = 1;
            digits = long(roundHalfAway(double(digits) / 10.24)); // 1000.0 of a unit is 0.977 of the next
        }
    }
    char field[6];
    const long divisor[] = { 1000, 100, 10, 1 };
    for (int i = 0, d = 0; i < 5; ++i)
        field[i] = i == point ? '.' : char('0' + (digits / divisor[d++]) % 10);
    field[5] = '\0';
    return std::string(field) + " " + units[unit] + "B";
}

std::string progressText(std::string_view path, uint64_t rootNameLength, bool levelsLeftOut)
{
    const size_t root = size_t(std::min<uint64_t>(rootNameLength, path.size()));
    std::string text(path.substr(0, root));
    size_t depth = 0;
    if (levelsLeftOut) {
        depth = 1;
        text += "\n  \u2026";
    }
    for (size_t i = root; i < path.size(); ++i) {
        if (path[i] == '/') {
            depth += 1;
            text += '\n';
            text.append(2 * depth, ' ');
        }
        text += path[i];
    }
    return text;
}

size_t progressLevelsThatFit(double height, double lineHeight)
{
    if (!(lineHeight > 0) || !(height > 0))
        return 1;
    const double lines = std::floor(height / lineHeight) - 2;
    return lines < 1 ? 1 : lines > 64 ? 64 : size_t(lines);
}
