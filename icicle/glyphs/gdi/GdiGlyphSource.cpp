// GdiGlyphSource: the glyph page's Windows source. A character's face is the first family whose
// Unicode ranges hold it: the label face DejaVu Sans when installed, then the fallback families
// the native text engine prefers (gui/text/gdi/), then every installed family. Outlines come from
// GetGlyphOutlineW(GGO_NATIVE | GGO_UNHINTED) of a font made at the face's em size, so their
// coordinates are design units. Characters beyond the basic plane have no face here.
#include "icicle/glyphs/GlyphSource.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

namespace orvex::glyphs {

namespace {

const wchar_t* const PREFERRED_FAMILIES[] = {
    L"DejaVu Sans", L"Segoe UI", L"Segoe UI Symbol", L"Segoe UI Historic", L"Nirmala UI", L"Microsoft YaHei UI",
    L"Yu Gothic UI", L"Malgun Gothic", L"Microsoft JhengHei UI", L"Leelawadee UI", L"Ebrima", L"Gadugi",
    L"Tahoma", L"Arial Unicode MS",
};
const wchar_t* const LABEL_FAMILY = L"DejaVu Sans";

struct Family {
    std::wstring name;
    std::vector<WCRANGE> ranges;
};

HFONT createFont(const std::wstring& name, int height)
{
    return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_ONLY_PRECIS,
                       CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, name.c_str());
}

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

int CALLBACK addFamily(const LOGFONTW* font, const TEXTMETRICW*, DWORD type, LPARAM list)
{
    auto& names = *reinterpret_cast<std::vector<std::wstring>*>(list);
    if ((type & TRUETYPE_FONTTYPE) && font->lfFaceName[0] != L'@') // outlines only; no vertical variants
        names.emplace_back(font->lfFaceName);
    return 1;
}

// The families in the order they are asked, with their ranges: read once per process. A preferred
// family GDI answers with another face is not installed and left out.
const std::vector<Family>& families()
{
    static const std::vector<Family> list = [] {
        std::vector<Family> out;
        HDC dc = CreateCompatibleDC(nullptr);
        if (!dc)
            return out;
        std::vector<std::wstring> installed;
        LOGFONTW any{};
        any.lfCharSet = DEFAULT_CHARSET;
        EnumFontFamiliesExW(dc, &any, addFamily, reinterpret_cast<LPARAM>(&installed), 0);
        std::sort(installed.begin(), installed.end());
        installed.erase(std::unique(installed.begin(), installed.end()), installed.end());
        std::vector<std::wstring> names(std::begin(PREFERRED_FAMILIES), std::end(PREFERRED_FAMILIES));
        names.insert(names.end(), installed.begin(), installed.end());
        for (const std::wstring& name : names) {
            if (std::any_of(out.begin(), out.end(), [&](const Family& f) { return f.name == name; }))
                continue;
            HFONT font = createFont(name, -16);
            if (!font)
                continue;
            HGDIOBJ previous = SelectObject(dc, font);
            wchar_t actual[LF_FACESIZE] = {};
            GetTextFaceW(dc, LF_FACESIZE, actual);
            if (_wcsicmp(actual, name.c_str()) == 0)
                out.push_back({name, unicodeRanges(dc)});
            SelectObject(dc, previous);
            DeleteObject(font);
        }
        DeleteDC(dc);
        return out;
    }();
    return list;
}

const Family* familyFor(char32_t character)
{
    if (character > 0xFFFF)
        return nullptr;
    for (const Family& family : families())
        if (rangesHold(family.ranges, character))
            return &family;
    return nullptr;
}

std::string toUtf8(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(std::max(size, 0)), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

// [SECTION] Outlines

Vec2 toVec(const POINTFX& point, double scale)
{
    return {(point.x.value + point.x.fract / 65536.0) * scale, (point.y.value + point.y.fract / 65536.0) * scale};
}

// Builds one contour the way the FreeType reader does: no zero-length pieces, a quadratic whose
// control point lies on its chord becomes a line.
struct ContourBuilder {
    Outline& outline;
    Vec2 current;

    void line(Vec2 end)
    {
        if (end == current)
            return;
        EdgeSegment segment;
        segment.p[0] = current;
        segment.p[1] = end;
        add(segment);
    }
    void quadratic(Vec2 control, Vec2 end)
    {
        if (end == current && control == current)
            return;
        if (cross(control - current, end - control) == 0 && dot(control - current, end - control) >= 0)
            return line(end);
        EdgeSegment segment;
        segment.degree = 2;
        segment.p[0] = current;
        segment.p[1] = control;
        segment.p[2] = end;
        add(segment);
    }
    void cubic(Vec2 control1, Vec2 control2, Vec2 end)
    {
        if (end == current && control1 == current && control2 == current)
            return;
        EdgeSegment segment;
        segment.degree = 3;
        segment.p[0] = current;
        segment.p[1] = control1;
        segment.p[2] = control2;
        segment.p[3] = end;
        add(segment);
    }
    void add(const EdgeSegment& segment)
    {
        outline.contours.back().edges.push_back(segment);
        current = segment.end();
    }
};

// GGO_NATIVE data: polygons of lines, TrueType quadratic B-splines (implied on-curve midpoints)
// and cubic runs, y up, in design units here.
void parseOutline(const std::vector<uint8_t>& data, double scale, Outline& outline)
{
    size_t offset = 0;
    while (offset + sizeof(TTPOLYGONHEADER) <= data.size()) {
        const auto* header = reinterpret_cast<const TTPOLYGONHEADER*>(&data[offset]);
        const size_t end = std::min(data.size(), offset + header->cb);
        const Vec2 start = toVec(header->pfxStart, scale);
        outline.contours.emplace_back();
        ContourBuilder builder{outline, start};
        size_t at = offset + sizeof(TTPOLYGONHEADER);
        while (at + sizeof(TTPOLYCURVE) <= end) {
            const auto* curve = reinterpret_cast<const TTPOLYCURVE*>(&data[at]);
            const int count = curve->cpfx;
            const POINTFX* points = curve->apfx;
            if (curve->wType == TT_PRIM_LINE) {
                for (int i = 0; i < count; ++i)
                    builder.line(toVec(points[i], scale));
            } else if (curve->wType == TT_PRIM_QSPLINE) {
                for (int i = 0; i + 1 < count; ++i) {
                    const Vec2 control = toVec(points[i], scale);
                    const Vec2 next = toVec(points[i + 1], scale);
                    builder.quadratic(control, i + 2 == count ? next : 0.5 * (control + next));
                }
            } else if (curve->wType == TT_PRIM_CSPLINE) {
                for (int i = 0; i + 2 < count; i += 3)
                    builder.cubic(toVec(points[i], scale), toVec(points[i + 1], scale), toVec(points[i + 2], scale));
            }
            at += sizeof(TTPOLYCURVE) + size_t(std::max(count - 1, 0)) * sizeof(POINTFX);
        }
        builder.line(start);
        offset += std::max<size_t>(header->cb, sizeof(TTPOLYGONHEADER));
    }
    std::erase_if(outline.contours, [](const Contour& c) { return c.edges.empty(); });
    outline.finish();
}

// The fonts one call makes, at each family's em size, in a memory DC of its own.
class FontSet {
public:
    FontSet() : m_dc(CreateCompatibleDC(nullptr)) {}
    ~FontSet()
    {
        if (m_dc)
            SelectObject(m_dc, GetStockObject(SYSTEM_FONT));
        for (auto& [name, font] : m_fonts)
            if (font.handle)
                DeleteObject(font.handle);
        if (m_dc)
            DeleteDC(m_dc);
    }
    FontSet(const FontSet&) = delete;
    FontSet& operator=(const FontSet&) = delete;

    // Selects the family at its em size; false when it cannot be made.
    bool select(const std::wstring& name)
    {
        if (!m_dc)
            return false;
        auto known = m_fonts.find(name);
        if (known == m_fonts.end())
            known = m_fonts.emplace(name, make(name)).first;
        if (!known->second.handle)
            return false;
        SelectObject(m_dc, known->second.handle);
        m_em = known->second.em;
        return true;
    }

    // The selected font's outline and advance of `character`; false when it has no glyph.
    bool load(char32_t character, SourceGlyph& glyph)
    {
        const wchar_t unit = wchar_t(character);
        WORD index = 0;
        if (GetGlyphIndicesW(m_dc, &unit, 1, &index, GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR || index == 0xFFFF)
            return false;
        const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
        GLYPHMETRICS metrics{};
        const UINT format = GGO_NATIVE | GGO_UNHINTED;
        const DWORD size = GetGlyphOutlineW(m_dc, UINT(character), format, &metrics, 0, nullptr, &identity);
        if (size == GDI_ERROR)
            return false;
        std::vector<uint8_t> data(size);
        if (size && GetGlyphOutlineW(m_dc, UINT(character), format, &metrics, size, data.data(), &identity) == GDI_ERROR)
            return false;
        glyph.character = character;
        glyph.advance = double(metrics.gmCellIncX) / m_em;
        parseOutline(data, 1.0 / m_em, glyph.outline);
        return true;
    }

private:
    struct Font {
        HFONT handle = nullptr;
        double em = 0;
    };

    Font make(const std::wstring& name)
    {
        // A first font tells the em square; the second is made at that size, in design units.
        Font font;
        HFONT probe = createFont(name, -256);
        if (!probe)
            return font;
        SelectObject(m_dc, probe);
        OUTLINETEXTMETRICW metrics{};
        metrics.otmSize = sizeof metrics;
        const UINT em = GetOutlineTextMetricsW(m_dc, sizeof metrics, &metrics) ? metrics.otmEMSquare : 0;
        SelectObject(m_dc, GetStockObject(SYSTEM_FONT));
        DeleteObject(probe);
        if (em == 0)
            return font;
        font.handle = createFont(name, -int(em));
        font.em = em;
        return font;
    }

    HDC m_dc;
    std::map<std::wstring, Font> m_fonts;
    double m_em = 1;
};

struct FaceCache {
    std::mutex mutex;
    std::unordered_map<char32_t, GlyphFace> faces;
};

} // namespace

GlyphFace sourceFace(char32_t character)
{
    static FaceCache cache;
    std::lock_guard<std::mutex> lock(cache.mutex);
    auto known = cache.faces.find(character);
    if (known == cache.faces.end()) {
        const Family* family = familyFor(character);
        known = cache.faces.emplace(character, family ? GlyphFace{toUtf8(family->name), 0} : GlyphFace{}).first;
    }
    return known->second;
}

SourceGlyphs loadSourceGlyphs(const std::vector<char32_t>& characters, size_t limit)
{
    SourceGlyphs out;
    FontSet fonts;
    SourceGlyph zero;
    if (fonts.select(LABEL_FAMILY) && fonts.load(U'0', zero) &&
        std::any_of(families().begin(), families().end(), [](const Family& f) { return f.name == LABEL_FAMILY; }))
        out.labelZeroAdvance = zero.advance;
    for (char32_t character : characters) {
        if (out.glyphs.size() >= limit)
            break;
        const Family* family = familyFor(character);
        SourceGlyph glyph;
        if (family && fonts.select(family->name) && fonts.load(character, glyph))
            out.glyphs.push_back(std::move(glyph));
    }
    return out;
}

} // namespace orvex::glyphs
