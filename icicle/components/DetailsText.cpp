// DetailsText: the line is built from segments (the path, the facts, the first unreadable path,
// the rest of the scan notices), so that fitting can leave out details and shorten the two paths
// while the size and the names stay. Fitting searches the longest budget that fits with the
// caller's measure: a few measurements per new line, none for a line that fits whole.
#include "icicle/components/DetailsText.h"

#include "icicle/SmallItemBlocks.h"

#include "icicle/IcicleNodeLookup.h"
#include "gui/TextObject.h"
#include "icicle/LabelText.h"
#include "engine/core/BidiOrder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr char32_t ELLIPSIS = U'\u2026';
constexpr char32_t REPLACEMENT = U'\uFFFD';
const std::u32string SEPARATOR = U" \u2014 "; // an em dash between the segments

std::u32string ascii(std::string_view text) { return std::u32string(text.begin(), text.end()); }

std::string plural(uint64_t count, const char* one, const char* many)
{
    return DetailsText::groupedNumber(count) + " " + (count == 1 ? one : many);
}

// The length of the valid UTF-8 sequence at `at` and its code point, or 0 when it is not one
// (overlong forms, surrogates and values past U+10FFFF included).
size_t decodeUtf8(std::string_view bytes, size_t at, char32_t& code)
{
    const unsigned char lead = static_cast<unsigned char>(bytes[at]);
    size_t length = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (size_t i = 1; i < length; ++i) {
        const unsigned char next = static_cast<unsigned char>(bytes[at + i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

bool isSeparator(char32_t code) { return code == U'/' || code == U'\\'; }

} // namespace

DetailsText::DetailsText(const FilesystemNode* root, const ScanProblems& problems)
    : root(root), problems(problems), problemsBelow(problems), treeCounts(root),
      unreadableNodes(problems.unlistedNodes.begin(), problems.unlistedNodes.end())
{
}

void DetailsText::noteStoredScans(const ImportedScan& imported)
{
    for (size_t i = 0; i < imported.storedRoots.size() && i < imported.storedNotes.size(); ++i)
        scanNotes[imported.storedRoots[i]] = imported.storedNotes[i];
}

std::u32string DetailsText::displayText(std::string_view bytes)
{
    std::u32string out;
    out.reserve(bytes.size());
    for (size_t at = 0; at < bytes.size();) {
        char32_t code = 0;
        const size_t length = decodeUtf8(bytes, at, code);
        if (length == 0) {
            out.push_back(REPLACEMENT);
            at += 1;
            continue;
        }
        // The chart's labels show the same escapes, so that a name reads alike in both.
        if (const std::string escape = LabelText::escapeOf(code); !escape.empty())
            out += ascii(escape);
        else
            out.push_back(code);
        at += length;
    }
    return out;
}

std::string DetailsText::groupedNumber(uint64_t value)
{
    const std::string digits = std::to_string(value);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}

std::string DetailsText::shareText(uint64_t amount, uint64_t whole)
{
    if (amount == 0 || whole == 0)
        return "0.0 %";
    // Tenths of a percent, rounded half up; long double keeps 64-bit sizes exact enough.
    const long double tenths = (long double)amount * 1000.0L / (long double)whole;
    const uint64_t rounded = uint64_t(tenths + 0.5L);
    if (rounded == 0)
        return "< 0.1 %";
    return std::to_string(rounded / 10) + "." + std::to_string(rounded % 10) + " %";
}

std::u32string DetailsText::elidePath(std::u32string_view path, size_t budget)
{
    if (path.size() <= budget)
        return std::u32string(path);
    if (budget <= 1)
        return std::u32string(1, ELLIPSIS);
    // The last component with its separator; a trailing separator belongs to it.
    size_t start = path.size() > 1 ? path.size() - 2 : 0;
    while (start > 0 && !isSeparator(path[start]))
        --start;
    const std::u32string_view last = path.substr(start);
    std::u32string out;
    if (last.size() + 1 <= budget) {
        out = path.substr(0, budget - 1 - last.size());
        out.push_back(ELLIPSIS);
        out += last;
    } else {
        out.push_back(ELLIPSIS);
        out += last.substr(0, budget - 2);
        out.push_back(ELLIPSIS);
    }
    return out;
}

std::string_view DetailsText::lastComponent(std::string_view path)
{
    const size_t end = path.find_last_not_of("/\\");
    if (end == std::string_view::npos)
        return path;
    const size_t separator = path.find_last_of("/\\", end);
    const size_t start = separator == std::string_view::npos ? 0 : separator + 1;
    return path.substr(start, end + 1 - start);
}

size_t DetailsText::lastComponentBudget(std::u32string_view path)
{
    if (path.size() <= 1)
        return path.size();
    size_t start = path.size() - 2;
    while (start > 0 && !isSeparator(path[start]))
        --start;
    return std::min(path.size(), path.size() - start + 1);
}

std::u32string DetailsText::isolateNames(std::u32string_view path)
{
    return LabelText::isolateNames(path);
}

DetailsText::Segments DetailsText::segments(const FilesystemNode* node, bool withScanNotices) const
{
    Segments result;
    result.path = displayText(IcicleNodeLookup::nodePath(node));
    if (auto note = scanNotes.find(node); note != scanNotes.end())
        result.note = displayText(note->second);
    const bool folder = node->type == FilesystemNode::Type::DIRECTORY;
    result.size = SEPARATOR + ascii(LabelText::sizeString(node->size));
    result.exact = ascii(" (" + plural(node->size, "byte", "bytes") + ")");
    if (node->parent)
        result.shares = SEPARATOR + ascii(shareText(node->size, node->parent->size) + " of parent, "
                                          + shareText(node->size, root ? root->size : 0) + " of total");
    if (folder) {
        const TreeCounts::Counts below = treeCounts.below(node);
        result.counts = SEPARATOR + ascii(plural(below.files, "file", "files") + ", " + plural(below.folders, "folder", "folders"));
    }
    if (unreadable(node))
        result.state = SEPARATOR + ascii(folder ? "could not be read" : "size could not be read");
    else if (!withScanNotices && problemsBelow.holds(node)) // the notice says more
        result.state = SEPARATOR + ascii("some entries below could not be read");

    if (!withScanNotices)
        return result;
    const ScanProblems problems = problemsBelow.under(node, this->problems);
    std::string unread;
    if (problems.unlistedDirectories > 0)
        unread = plural(problems.unlistedDirectories, "folder", "folders") + " could not be read";
    if (problems.unreadableFiles > 0)
        unread += (unread.empty() ? "" : ", ") + plural(problems.unreadableFiles, "file size", "file sizes")
            + " could not be read";
    std::string end;
    if (!unread.empty()) {
        result.notice = SEPARATOR + ascii(unread);
        if (!problems.firstUnlistedPath.empty()) {
            result.notice += U" (first: ";
            result.noticePath = displayText(problems.firstUnlistedPath);
            // A stored scan marks what could not be read but not why.
            end = problems.firstError ? std::string(": ") + std::strerror(problems.firstError) + ")" : ")";
        }
    }
    if (problems.saturated)
        end += " \u2014 the total is a lower bound";
    result.noticeEnd = orvex::gui::fromUtf8(end);
    return result;
}

std::u32string DetailsText::Segments::joined(size_t pathBudget, size_t noticeBudget, int dropped) const
{
    std::u32string line = isolateNames(elidePath(path, pathBudget)) + note + size;
    if (dropped < 1)
        line += exact;
    if (dropped < 2)
        line += shares;
    if (dropped < 3)
        line += counts;
    return line + state + notice + isolateNames(elidePath(noticePath, noticeBudget)) + noticeEnd;
}

std::u32string DetailsText::describe(const FilesystemNode* node, bool withScanNotices) const
{
    if (!node)
        return {};
    const Segments line = segments(node, withScanNotices);
    return line.joined(line.path.size(), line.noticePath.size(), 0);
}

std::u32string DetailsText::describe(const FilesystemNode* node, bool withScanNotices, double width,
                                     const Measure& measure) const
{
    if (!node)
        return {};
    return fit(segments(node, withScanNotices), width, measure);
}

std::u32string DetailsText::describeBlock(const SmallItemBlock& block, double width, const Measure& measure) const
{
    if (!block.folder)
        return {};
    Segments line;
    line.path = displayText(IcicleNodeLookup::nodePath(block.folder));
    line.size = SEPARATOR + ascii(plural(block.items, "smaller item", "smaller items") + ", " + LabelText::sizeString(block.bytes));
    line.exact = ascii(" (" + plural(block.bytes, "byte", "bytes") + ")");
    if (block.marked)
        line.state = SEPARATOR + ascii("some could not be read");
    return fit(line, width, measure);
}

std::u32string DetailsText::fit(const Segments& line, double width, const Measure& measure)
{
    const size_t pathLength = line.path.size(), noticeLength = line.noticePath.size();
    const auto fits = [&](const std::u32string& text) { return measure(text) <= width; };
    // The details give way one by one, the paths whole (with all three gone, the searches below
    // start from the whole paths).
    constexpr int optionalParts = 3;
    for (int dropped = 0; dropped < optionalParts; ++dropped)
        if (std::u32string whole = line.joined(pathLength, noticeLength, dropped); fits(whole))
            return whole;
    // The largest budget in [low, high] whose line fits (`low` when none does): elided lines only
    // grow with the budget, so a binary search finds it.
    auto largest = [&](size_t low, size_t high, auto&& lineFor) {
        while (low < high) {
            const size_t middle = low + (high - low + 1) / 2;
            if (fits(lineFor(middle)))
                low = middle;
            else
                high = middle - 1;
        }
        return low;
    };
    const auto withBudgets = [&](size_t pathBudget, size_t noticeBudget) {
        return line.joined(pathBudget, noticeBudget, optionalParts);
    };
    // Then the middles of the paths, the first unreadable one's first; then the last names, the
    // node's own last of all.
    const size_t pathName = lastComponentBudget(line.path), noticeName = lastComponentBudget(line.noticePath);
    size_t notice = largest(noticeName, noticeLength, [&](size_t budget) { return withBudgets(pathLength, budget); });
    size_t path = largest(pathName, pathLength, [&](size_t budget) { return withBudgets(budget, notice); });
    if (path == pathName && !fits(withBudgets(path, notice))) {
        notice = largest(0, noticeName, [&](size_t budget) { return withBudgets(pathName, budget); });
        path = largest(0, pathName, [&](size_t budget) { return withBudgets(budget, notice); });
    }
    const std::u32string whole = withBudgets(path, notice);
    if (fits(whole))
        return whole;
    // Not even the numbers fit: cut the end.
    const size_t kept = largest(0, whole.size(), [&](size_t count) { return whole.substr(0, count) + ELLIPSIS; });
    return whole.substr(0, kept) + ELLIPSIS;
}
