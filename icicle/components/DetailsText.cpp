// DetailsText: the line is built from four segments (path, facts, the first unreadable path, the
// rest of the scan notices), so that elision can shorten the two paths and keep the numbers.
// Fitting searches the longest budget that fits with the caller's measure: a few measurements
// per new line, none for a line that fits whole.
#include "icicle/components/DetailsText.h"

#include "icicle/SmallItemBlocks.h"

#include "icicle/IcicleNodeLookup.h"
#include "gui/TextObject.h"
#include "icicle/LabelText.h"

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

void appendEscape(std::u32string& out, char32_t code)
{
    char buffer[12];
    switch (code) {
    case U'\n': out += U"\\n"; return;
    case U'\t': out += U"\\t"; return;
    case U'\r': out += U"\\r"; return;
    default: break;
    }
    if (code < 0x80)
        std::snprintf(buffer, sizeof buffer, "\\x%02X", unsigned(code));
    else
        std::snprintf(buffer, sizeof buffer, "\\u%04X", unsigned(code));
    out += ascii(buffer);
}

bool needsEscape(char32_t code)
{
    return code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F) || code == 0x2028 || code == 0x2029;
}

bool isSeparator(char32_t code) { return code == U'/' || code == U'\\'; }

} // namespace

DetailsText::DetailsText(const FilesystemNode* root, const ScanProblems& problems)
    : root(root), problems(problems), problemsBelow(problems), treeCounts(root),
      unreadableNodes(problems.unlistedNodes.begin(), problems.unlistedNodes.end())
{
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
        if (needsEscape(code))
            appendEscape(out, code);
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

DetailsText::Segments DetailsText::segments(const FilesystemNode* node, bool withScanNotices) const
{
    Segments result;
    result.path = displayText(IcicleNodeLookup::nodePath(node));
    const bool folder = node->type == FilesystemNode::Type::DIRECTORY;
    std::string facts = LabelText::sizeString(node->size) + " (" + plural(node->size, "byte", "bytes") + ")";
    if (node->parent)
        facts += " \u2014 " + shareText(node->size, node->parent->size) + " of parent, "
            + shareText(node->size, root ? root->size : 0) + " of total";
    if (folder) {
        const TreeCounts::Counts below = treeCounts.below(node);
        facts += " \u2014 " + plural(below.files, "file", "files") + ", " + plural(below.folders, "folder", "folders");
    }
    if (unreadable(node))
        facts += folder ? " \u2014 could not be read" : " \u2014 size could not be read";
    else if (!withScanNotices && problemsBelow.holds(node)) // the notice says more
        facts += " \u2014 some entries below could not be read";
    result.facts = SEPARATOR + orvex::gui::fromUtf8(facts);

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
        result.facts += SEPARATOR + orvex::gui::fromUtf8(unread);
        if (!problems.firstUnlistedPath.empty()) {
            result.facts += U" (first: ";
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

std::u32string DetailsText::Segments::joined(size_t pathBudget, size_t noticeBudget) const
{
    return elidePath(path, pathBudget) + facts + elidePath(noticePath, noticeBudget) + noticeEnd;
}

std::u32string DetailsText::describe(const FilesystemNode* node, bool withScanNotices) const
{
    if (!node)
        return {};
    const Segments line = segments(node, withScanNotices);
    return line.joined(line.path.size(), line.noticePath.size());
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
    std::string facts = plural(block.items, "smaller item", "smaller items") + ", " + LabelText::sizeString(block.bytes)
        + " (" + plural(block.bytes, "byte", "bytes") + ")";
    if (block.marked)
        facts += " \u2014 some could not be read";
    line.facts = SEPARATOR + orvex::gui::fromUtf8(facts);
    return fit(line, width, measure);
}

std::u32string DetailsText::fit(const Segments& line, double width, const Measure& measure)
{
    const size_t pathLength = line.path.size(), noticeLength = line.noticePath.size();
    std::u32string whole = line.joined(pathLength, noticeLength);
    if (measure(whole) <= width)
        return whole;
    // The largest budget in [0, length] whose line fits (0 when none does): elided lines only
    // grow with the budget, so a binary search finds it.
    auto largest = [&](size_t length, auto&& lineFor) {
        size_t low = 0, high = length;
        while (low < high) {
            const size_t middle = low + (high - low + 1) / 2;
            if (measure(lineFor(middle)) <= width)
                low = middle;
            else
                high = middle - 1;
        }
        return low;
    };
    // The first unreadable path gives way first, then the node's own path.
    size_t noticeBudget = noticeLength;
    if (noticeLength > 0) {
        noticeBudget = largest(noticeLength, [&](size_t budget) { return line.joined(pathLength, budget); });
        whole = line.joined(pathLength, noticeBudget);
        if (measure(whole) <= width)
            return whole;
    }
    const size_t pathBudget = largest(pathLength, [&](size_t budget) { return line.joined(budget, noticeBudget); });
    whole = line.joined(pathBudget, noticeBudget);
    if (pathBudget > 0 || measure(whole) <= width)
        return whole;
    // Not even the numbers fit: cut the end.
    const size_t kept = largest(whole.size(), [&](size_t count) { return whole.substr(0, count) + ELLIPSIS; });
    return whole.substr(0, kept) + ELLIPSIS;
}
