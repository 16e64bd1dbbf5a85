// GdiFontEngine: the Windows font engine. GDI makes the fonts (the default face is the system's
// message-box font), Uniscribe itemises paragraphs and its ScriptBreak attributes tell where lines
// may break.
#include "gui/text/gdi/GdiFont.h"

#include <algorithm>

namespace orvex::gui {

UniquePtr<FontEngine> createFontEngine()
{
    return UniquePtr<FontEngine>(new GdiFontEngine());
}

UniquePtr<Font> GdiFontEngine::createFont(const FontDescription& spec)
{
    return UniquePtr<Font>(GdiFont::create(spec).release());
}

const std::wstring& GdiFontEngine::defaultFace()
{
    static const std::wstring face = [] {
        NONCLIENTMETRICSW metrics {};
        metrics.cbSize = sizeof(metrics);
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0) &&
            metrics.lfMessageFont.lfFaceName[0])
            return std::wstring(metrics.lfMessageFont.lfFaceName);
        return std::wstring(L"Segoe UI");
    }();
    return face;
}

namespace {

// ScriptBreak sees one item at a time and never offers an item's first unit. Whether a line may
// break where two items meet is read from a few units on either side analysed together.
bool breaksBetweenItems(const std::wstring& units, int boundary, const SCRIPT_ANALYSIS& analysis)
{
    const int context = 4;
    const int from = std::max(0, boundary - context);
    const int to = std::min(int(units.size()), boundary + context);
    SCRIPT_LOGATTR window[2 * context] = {};
    if (FAILED(ScriptBreak(units.data() + from, to - from, &analysis, window)))
        return false;
    return window[boundary - from].fSoftBreak || window[boundary - from - 1].fWhiteSpace;
}

} // namespace

std::vector<uint8_t> GdiFontEngine::breakOpportunities(std::u32string_view paragraph)
{
    std::vector<uint8_t> before(paragraph.size(), 0);
    if (paragraph.size() < 2)
        return before;
    const Utf16Text text(paragraph);
    const int unitCount = int(text.units.size());

    std::vector<SCRIPT_LOGATTR> attributes(size_t(unitCount), SCRIPT_LOGATTR {});
    if (ScriptIsComplex(text.units.data(), unitCount, SIC_COMPLEX) == S_FALSE) {
        // No complex script: one analysis over the whole paragraph, so punctuation that
        // itemisation would put into items of its own (a hyphen) breaks with its neighbours.
        SCRIPT_ANALYSIS plain {};
        if (FAILED(ScriptBreak(text.units.data(), unitCount, &plain, attributes.data())))
            return before;
    } else {
        std::vector<SCRIPT_ITEM> items(16);
        int itemCount = 0;
        SCRIPT_CONTROL control {};
        SCRIPT_STATE state {};
        HRESULT result;
        while ((result = ScriptItemize(text.units.data(), unitCount, int(items.size()) - 1, &control, &state,
                                       items.data(), &itemCount)) == E_OUTOFMEMORY)
            items.resize(items.size() * 2);
        if (FAILED(result))
            return before;
        for (int item = 0; item < itemCount; ++item) {
            const int begin = items[size_t(item)].iCharPos;
            const int end = items[size_t(item) + 1].iCharPos;
            if (FAILED(ScriptBreak(text.units.data() + begin, end - begin, &items[size_t(item)].a,
                                   attributes.data() + begin)))
                continue;
            if (begin > 0)
                attributes[size_t(begin)].fSoftBreak = breaksBetweenItems(text.units, begin, items[size_t(item)].a);
        }
    }
    // Opportunities are answered per code point: at the first unit of each.
    for (int unit = 1; unit < unitCount; ++unit) {
        const uint32_t point = text.codePoint[size_t(unit)];
        if (point != text.codePoint[size_t(unit - 1)] && attributes[size_t(unit)].fSoftBreak)
            before[point] = 1;
    }
    return before;
}

} // namespace orvex::gui
