// GdiFont: one native font on Windows. Text is itemised by Uniscribe (script and direction runs)
// and cut further where the face that has the characters changes (the chosen face first, then
// the first fallback family whose character ranges hold it); each run is shaped and placed by
// Uniscribe. Advances come back in whole pixels, so caret cells and drawn glyphs agree. Glyphs
// are drawn white on black into a 32-bit DIB section; its channels are the coverage blended onto
// the BGR surface (per channel, so ClearType output keeps its colour fringes).
#include "gui/text/gdi/GdiFont.h"

#include "engine/core/BidiOrder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace orvex::gui {

namespace {

BYTE qualityFor(int quality)
{
    switch (quality) {
    case 0: return NONANTIALIASED_QUALITY;
    case 1: return ANTIALIASED_QUALITY;
    case 2: return PROOF_QUALITY;
    default: return DEFAULT_QUALITY;
    }
}

// Combining marks, joiners and variation selectors take no cell of their own.
bool isMark(const wchar_t* units, int count)
{
    WORD types[2] = {};
    if (!GetStringTypeW(CT_CTYPE3, units, count, types))
        return false;
    if (types[0] & C3_NONSPACING)
        return true;
    const wchar_t c = units[0];
    return count == 1 && (c == 0x200C || c == 0x200D || (c >= 0xFE00 && c <= 0xFE0F));
}

// Families tried first, in order, for characters the chosen face lacks; then every installed one.
const wchar_t* const PREFERRED_FALLBACKS[] = {
    L"Segoe UI", L"Segoe UI Symbol", L"Segoe UI Emoji", L"Segoe UI Historic", L"Nirmala UI",
    L"Microsoft YaHei UI", L"Yu Gothic UI", L"Malgun Gothic", L"Microsoft JhengHei UI", L"Leelawadee UI",
    L"Ebrima", L"Gadugi", L"Tahoma", L"Arial Unicode MS",
};

std::vector<WCRANGE> unicodeRanges(HDC dc)
{
    const DWORD size = GetFontUnicodeRanges(dc, nullptr);
    if (!size)
        return {};
    std::vector<uint8_t> buffer(size);
    auto* set = reinterpret_cast<GLYPHSET*>(buffer.data());
    if (!GetFontUnicodeRanges(dc, set))
        return {};
    return std::vector<WCRANGE>(set->ranges, set->ranges + set->cRanges);
}

bool rangesHold(const std::vector<WCRANGE>& ranges, char32_t character)
{
    auto after = std::upper_bound(ranges.begin(), ranges.end(), character,
                                  [](char32_t c, const WCRANGE& range) { return c < range.wcLow; });
    return after != ranges.begin() && character < char32_t((after - 1)->wcLow) + (after - 1)->cGlyphs;
}

int CALLBACK addFamily(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM list)
{
    auto& names = *reinterpret_cast<std::vector<std::wstring>*>(list);
    if (font->lfFaceName[0] != L'@') // vertical variants of East Asian faces
        names.emplace_back(font->lfFaceName);
    return 1;
}

// A fallback family and the characters of the basic plane it has (whatever its size).
struct FallbackFamily {
    std::wstring name;
    std::vector<WCRANGE> ranges;
};

// The preferred families, then the installed ones, with their character ranges: read once per
// process, so a character no face has costs a search of this table, not a font per family.
const std::vector<FallbackFamily>& fallbackFamilies()
{
    static const std::vector<FallbackFamily> families = [] {
        std::vector<std::wstring> names(std::begin(PREFERRED_FALLBACKS), std::end(PREFERRED_FALLBACKS));
        std::vector<std::wstring> installed;
        HDC dc = CreateCompatibleDC(nullptr);
        if (!dc)
            return std::vector<FallbackFamily>();
        LOGFONTW any {};
        any.lfCharSet = DEFAULT_CHARSET;
        EnumFontFamiliesExW(dc, &any, addFamily, reinterpret_cast<LPARAM>(&installed), 0);
        std::sort(installed.begin(), installed.end());
        installed.erase(std::unique(installed.begin(), installed.end()), installed.end());
        names.insert(names.end(), installed.begin(), installed.end());
        std::vector<FallbackFamily> list;
        for (const std::wstring& name : names) {
            HFONT font = CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, name.c_str());
            if (!font)
                continue;
            HGDIOBJ previous = SelectObject(dc, font);
            list.push_back({ name, unicodeRanges(dc) });
            SelectObject(dc, previous);
            DeleteObject(font);
        }
        DeleteDC(dc);
        return list;
    }();
    return families;
}

} // namespace

Utf16Text::Utf16Text(std::u32string_view text)
{
    units.reserve(text.size());
    codePoint.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c >= 0x10000 && c <= 0x10FFFF) {
            units.push_back(wchar_t(0xD800 + ((c - 0x10000) >> 10)));
            units.push_back(wchar_t(0xDC00 + ((c - 0x10000) & 0x3FF)));
            codePoint.push_back(uint32_t(i));
            codePoint.push_back(uint32_t(i));
        } else {
            // A lone surrogate stays as it is; GDI draws it as a missing glyph.
            units.push_back(c > 0x10FFFF ? wchar_t(0xFFFD) : wchar_t(c));
            codePoint.push_back(uint32_t(i));
        }
    }
}

// [SECTION] Creation

UniquePtr<GdiFont> GdiFont::create(const FontDescription& spec)
{
    const int pixels = pixelHeight(spec.height);
    if (pixels == 0)
        return nullptr;
    const std::wstring face = spec.faceName.empty() ? GdiFontEngine::defaultFace() : Utf16Text(spec.faceName).units;
    if (face.size() >= LF_FACESIZE || face.find(L'\0') != std::wstring::npos)
        return nullptr; // GDI would silently pick some other face for a cut-off name
    LOGFONTW logFont {};
    logFont.lfHeight = -pixels; // negative: the em height, not the cell height
    logFont.lfWeight = spec.weight;
    logFont.lfItalic = spec.italic ? TRUE : FALSE;
    logFont.lfCharSet = DEFAULT_CHARSET;
    logFont.lfOutPrecision = OUT_DEFAULT_PRECIS;
    logFont.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    logFont.lfQuality = qualityFor(spec.quality);
    logFont.lfPitchAndFamily = DEFAULT_PITCH;
    std::copy(face.begin(), face.end(), logFont.lfFaceName);

    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return nullptr;
    UniquePtr<GdiFont> font(new GdiFont(dc, logFont));
    if (font->addFace(logFont.lfFaceName) != 0)
        return nullptr;
    font->select(0);
    TEXTMETRICW metrics {};
    if (GetTextMetricsW(dc, &metrics)) {
        font->fontMetrics = { int(metrics.tmAscent), int(metrics.tmDescent), int(metrics.tmHeight) };
    } else {
        font->fontMetrics = { pixels, 0, pixels };
    }
    return font;
}

GdiFont::GdiFont(HDC dc, LOGFONTW logFont) : dc(dc), logFont(logFont)
{
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    SetTextAlign(dc, TA_LEFT | TA_BASELINE | TA_NOUPDATECP);
}

GdiFont::~GdiFont()
{
    // Nothing may stay selected into the DC when its objects are deleted.
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    if (raster) {
        SelectObject(dc, initialBitmap);
        DeleteObject(raster);
    }
    for (Face& face : faces) {
        ScriptFreeCache(&face.cache);
        DeleteObject(face.font);
    }
    DeleteDC(dc);
}

int GdiFont::addFace(const wchar_t* name)
{
    LOGFONTW wanted = logFont;
    std::fill(std::begin(wanted.lfFaceName), std::end(wanted.lfFaceName), L'\0');
    std::wcsncpy(wanted.lfFaceName, name, LF_FACESIZE - 1);
    HFONT handle = CreateFontIndirectW(&wanted);
    if (!handle)
        return -1;
    faces.push_back({ handle, nullptr, {}, {} });
    const uint32_t index = uint32_t(faces.size() - 1);
    faces[index].actual = actualFace(index);
    // GDI answers an unknown name with some other face: one already open is not opened twice.
    for (uint32_t other = 0; other < index; ++other) {
        if (faces[other].actual == faces[index].actual) {
            select(0);
            DeleteObject(handle);
            faces.pop_back();
            return int(other);
        }
    }
    select(index);
    faces[index].ranges = unicodeRanges(dc);
    return int(index);
}

bool GdiFont::covers(uint32_t face, char32_t character)
{
    if (character > 0xFFFF) {
        // GDI's ranges stop at the basic plane; Uniscribe's character map takes surrogate pairs.
        const wchar_t pair[2] = { wchar_t(0xD800 + ((character - 0x10000) >> 10)),
                                  wchar_t(0xDC00 + ((character - 0x10000) & 0x3FF)) };
        WORD glyphs[2] = {};
        select(face);
        return ScriptGetCMap(dc, &faces[face].cache, pair, 2, 0, glyphs) == S_OK;
    }
    if (faces[face].ranges.empty())
        return face == 0; // GDI could not tell: left to the chosen face
    return rangesHold(faces[face].ranges, character);
}

uint32_t GdiFont::faceFor(char32_t character)
{
    if (covers(0, character))
        return 0;
    if (auto known = fallbacks.find(character); known != fallbacks.end())
        return known->second;
    uint32_t found = 0; // no face has it: the chosen face's missing-glyph box
    for (uint32_t face = 1; face < faces.size() && !found; ++face)
        if (covers(face, character))
            found = face;
    const std::vector<FallbackFamily>& families = fallbackFamilies();
    for (size_t i = 0; i < families.size() && !found; ++i) {
        // Beyond the basic plane only the preferred families are opened to ask.
        const bool candidate = character > 0xFFFF ? i < std::size(PREFERRED_FALLBACKS)
                                                  : rangesHold(families[i].ranges, character);
        if (!candidate)
            continue;
        const int face = addFace(families[i].name.c_str());
        if (face > 0 && covers(uint32_t(face), character))
            found = uint32_t(face);
    }
    fallbacks.emplace(character, found);
    return found;
}

void GdiFont::select(uint32_t face)
{
    if (face != selected) {
        SelectObject(dc, faces[face].font);
        selected = face;
    }
}

std::wstring GdiFont::actualFace(uint32_t face)
{
    if (face >= faces.size())
        return {};
    select(face);
    wchar_t name[LF_FACESIZE] = {};
    return GetTextFaceW(dc, LF_FACESIZE, name) > 0 ? std::wstring(name) : std::wstring();
}

// [SECTION] Shaping

bool GdiFont::shapeRun(uint32_t face, const wchar_t* units, int count, SCRIPT_ANALYSIS& analysis, ItemGlyphs& out)
{
    select(face);
    SCRIPT_CACHE& cache = faces[face].cache;
    out.clusters.assign(size_t(count), 0);
    int capacity = count * 3 / 2 + 16;
    int glyphCount = 0;
    for (;;) {
        out.glyphs.resize(size_t(capacity));
        out.attributes.resize(size_t(capacity));
        HRESULT result = ScriptShape(dc, &cache, units, count, capacity, &analysis, out.glyphs.data(),
                                     out.clusters.data(), out.attributes.data(), &glyphCount);
        if (result == USP_E_SCRIPT_NOT_IN_FONT) {
            analysis.eScript = SCRIPT_UNDEFINED; // one glyph per character, boxes for the missing
            continue;
        }
        if (result == E_OUTOFMEMORY && capacity < count * 8 + 64) {
            capacity *= 2;
            continue;
        }
        if (FAILED(result))
            return false;
        break;
    }
    out.glyphs.resize(size_t(glyphCount));
    out.attributes.resize(size_t(glyphCount));
    out.advances.assign(size_t(glyphCount), 0);
    out.offsets.assign(size_t(glyphCount), GOFFSET {});
    ABC abc {};
    return glyphCount == 0 || SUCCEEDED(ScriptPlace(dc, &cache, out.glyphs.data(), glyphCount, out.attributes.data(),
                                                    &analysis, out.advances.data(), out.offsets.data(), &abc));
}

ShapedText GdiFont::shape(std::u32string_view text)
{
    ShapedText out;
    const size_t n = text.size();
    out.cellLeft.assign(n, 0);
    out.cellRight.assign(n, 0);
    out.rightToLeft.assign(n, 0);
    if (n == 0)
        return out;

    std::u32string chars(text);
    for (char32_t& c : chars)
        if (c < 0x20 || c == 0x7F)
            c = U' '; // tabs and carriage returns take the room of a space, never a box
    const Utf16Text utf16(chars);
    const int unitCount = int(utf16.units.size());
    std::vector<int> firstUnit(n + 1, unitCount);
    for (int u = unitCount - 1; u >= 0; --u)
        firstUnit[utf16.codePoint[size_t(u)]] = u;

    std::vector<SCRIPT_ITEM> items(16);
    int itemCount = 0;
    SCRIPT_CONTROL control {};
    SCRIPT_STATE state {};
    HRESULT result;
    while ((result = ScriptItemize(utf16.units.data(), unitCount, int(items.size()) - 1, &control, &state,
                                   items.data(), &itemCount)) == E_OUTOFMEMORY)
        items.resize(items.size() * 2);
    if (FAILED(result)) {
        itemCount = 1; // one plain left-to-right item
        items.assign(2, SCRIPT_ITEM {});
        items[1].iCharPos = unitCount;
    }

    // Runs: items cut where the face that has the characters changes (marks stay with their base).
    std::vector<uint32_t> faceOf(n, 0);
    for (size_t i = 0; i < n; ++i) {
        const int width = firstUnit[i + 1] - firstUnit[i];
        faceOf[i] = i > 0 && isMark(utf16.units.data() + firstUnit[i], width) ? faceOf[i - 1] : faceFor(chars[i]);
    }
    struct Run {
        int begin, end; // units
        uint32_t face;
        SCRIPT_ANALYSIS analysis;
    };
    std::vector<Run> runs;
    for (int item = 0; item < itemCount; ++item) {
        const int itemEnd = items[size_t(item) + 1].iCharPos;
        for (int begin = items[size_t(item)].iCharPos; begin < itemEnd;) {
            const uint32_t face = faceOf[utf16.codePoint[size_t(begin)]];
            int end = begin + 1;
            while (end < itemEnd && faceOf[utf16.codePoint[size_t(end)]] == face)
                ++end;
            runs.push_back({ begin, end, face, items[size_t(item)].a });
            begin = end;
        }
    }

    // Runs are placed from left to right in the visual order of their bidi levels.
    std::vector<uint8_t> runLevels;
    for (const Run& run : runs)
        runLevels.push_back(uint8_t(run.analysis.s.uBidiLevel));
    std::vector<int> advance(n, 0);
    int runX = 0;
    ItemGlyphs shaped;
    for (size_t r : bidi::visualOrder(runLevels)) {
        Run& run = runs[r];
        const int count = run.end - run.begin;
        if (!shapeRun(run.face, utf16.units.data() + run.begin, count, run.analysis, shaped))
            continue; // nothing drawn; its code points keep empty cells at the pen
        const bool rtl = run.analysis.fRTL;
        const int glyphCount = int(shaped.glyphs.size());
        const auto pointOf = [&](int unit) { return utf16.codePoint[size_t(run.begin + unit)]; };

        // Clusters: runs of units sharing a glyph index. In a left-to-right run a cluster owns its
        // glyphs up to the next cluster's; in a right-to-left one (glyphs in visual order) down to it.
        std::vector<int32_t> glyphCluster(size_t(glyphCount), int32_t(pointOf(0)));
        for (int u = 0; u < count;) {
            int next = u + 1;
            while (next < count && shaped.clusters[size_t(next)] == shaped.clusters[size_t(u)])
                ++next;
            int from = shaped.clusters[size_t(u)], to = from + 1;
            if (!rtl)
                to = next < count ? shaped.clusters[size_t(next)] : glyphCount;
            else
                from = next < count ? shaped.clusters[size_t(next)] + 1 : 0;
            from = std::clamp(from, 0, glyphCount);
            to = std::clamp(to, from, glyphCount);
            int total = 0;
            for (int g = from; g < to; ++g) {
                total += shaped.advances[size_t(g)];
                glyphCluster[size_t(g)] = int32_t(pointOf(u));
            }
            // Share the cluster's advance among its code points, marks excepted, so a caret can
            // stand inside a ligature.
            std::vector<uint32_t> bases;
            for (int k = u; k < next; ++k) {
                const uint32_t point = pointOf(k);
                if (k > u && point == pointOf(k - 1))
                    continue; // the second half of a surrogate pair
                if (!isMark(utf16.units.data() + firstUnit[point], firstUnit[point + 1] - firstUnit[point]))
                    bases.push_back(point);
            }
            if (bases.empty())
                bases.push_back(pointOf(u));
            const int share = total / int(bases.size());
            int extra = total - share * int(bases.size());
            for (uint32_t point : bases)
                advance[point] = share + (extra-- > 0 ? 1 : 0);
            u = next;
        }

        int pen = 0;
        for (int g = 0; g < glyphCount; ++g) {
            const GOFFSET& offset = shaped.offsets[size_t(g)];
            out.glyphs.push_back({ run.face, shaped.glyphs[size_t(g)], runX + pen + offset.du, -offset.dv,
                                   glyphCluster[size_t(g)] });
            pen += shaped.advances[size_t(g)];
        }
        const size_t endPoint = run.end < unitCount ? utf16.codePoint[size_t(run.end)] : n;
        int x = rtl ? runX + pen : runX;
        for (size_t i = pointOf(0); i < endPoint; ++i) {
            out.rightToLeft[i] = rtl;
            if (rtl) {
                out.cellRight[i] = x;
                x -= advance[i];
                out.cellLeft[i] = x;
            } else {
                out.cellLeft[i] = x;
                x += advance[i];
                out.cellRight[i] = x;
            }
        }
        runX += pen;
    }
    out.width = runX;
    return out;
}

// [SECTION] Drawing

bool GdiFont::ensureRaster(int width, int height)
{
    if (raster && width <= rasterWidth && height <= rasterHeight)
        return true;
    width = std::max(width, rasterWidth);
    height = std::max(height, rasterHeight);
    BITMAPINFO info {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP created = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!created || !bits)
        return false;
    HGDIOBJ previous = SelectObject(dc, created);
    if (raster)
        DeleteObject(raster);
    else
        initialBitmap = previous;
    raster = created;
    rasterBits = static_cast<uint32_t*>(bits);
    rasterWidth = width;
    rasterHeight = height;
    return true;
}

void GdiFont::draw(const ShapedText& text, BgrSurface& surface, int left, int baseline, const IntRect& clip,
                   const GlyphPaint& paint)
{
    if (text.glyphs.empty())
        return;
    // Work only on the line's own box (a glyph's ink stays within an em or so of its pen), not
    // on the whole clip, which holds every line of the text.
    int penLeft = text.glyphs.front().x, penRight = penLeft, lift = 0;
    for (const ShapedGlyph& glyph : text.glyphs) {
        penLeft = std::min(penLeft, glyph.x);
        penRight = std::max(penRight, glyph.x);
        lift = std::max(lift, std::abs(glyph.y));
    }
    const int em = std::max(fontMetrics.height, 1);
    const IntRect line { left + penLeft - em, baseline - fontMetrics.ascent - lift - em / 2, left + penRight + 2 * em,
                         baseline + fontMetrics.descent + lift + em / 2 };
    const IntRect bounds = line.intersect(clip).intersect({ 0, 0, surface.width(), surface.height() });
    if (bounds.empty() || !ensureRaster(bounds.width(), bounds.height()))
        return;
    // One pass per colour: the raster holds coverage only, so each colour is blended on its own.
    for (const bool selectedPass : { false, true }) {
        const auto inPass = [&](const ShapedGlyph& glyph) {
            const bool inSelection = glyph.cluster >= paint.selectionStart && glyph.cluster < paint.selectionEnd;
            return inSelection == selectedPass && glyph.face < faces.size();
        };
        if (std::none_of(text.glyphs.begin(), text.glyphs.end(), inPass))
            continue;
        for (int y = 0; y < bounds.height(); ++y)
            std::memset(rasterBits + size_t(y) * size_t(rasterWidth), 0, size_t(bounds.width()) * 4);
        for (const ShapedGlyph& glyph : text.glyphs) {
            if (!inPass(glyph))
                continue;
            select(glyph.face);
            const WORD index = WORD(glyph.glyph);
            ExtTextOutW(dc, left + glyph.x - bounds.x0, baseline + glyph.y - bounds.y0, ETO_GLYPH_INDEX, nullptr,
                        reinterpret_cast<const wchar_t*>(&index), 1, nullptr);
        }
        GdiFlush(); // the DIB's bits are complete only after GDI's batch is drawn
        const Bgr color = selectedPass ? paint.selected : paint.normal;
        const unsigned paintChannel[3] = { color.blue, color.green, color.red };
        for (int y = 0; y < bounds.height(); ++y) {
            const uint32_t* source = rasterBits + size_t(y) * size_t(rasterWidth);
            uint8_t* target = surface.row(bounds.y0 + y) + size_t(bounds.x0) * 3;
            for (int x = 0; x < bounds.width(); ++x, target += 3) {
                const uint32_t coverage = source[x] & 0xFFFFFF;
                if (!coverage)
                    continue;
                for (int c = 0; c < 3; ++c) {
                    const unsigned amount = (coverage >> (8 * c)) & 0xFF;
                    target[c] = uint8_t((target[c] * (255 - amount) + paintChannel[c] * amount + 127) / 255);
                }
            }
        }
    }
}

} // namespace orvex::gui
