// glyph-page-bench: times buildGlyphPage on 128 characters (Cyrillic, Greek, CJK, Latin with
// accents, Hebrew and Arabic, a combining mark) or on the characters given as UTF-8 arguments.
//   glyph-page-bench [--runs N] [TEXT...]
// Prints the first build's time (the process draws every glyph: faces, outlines and fields), the
// median of the N - 1 builds after it (default N = 5; the glyphs then come from the process's
// cache, as when a chart is built again) and the atlas size. Run it a few times for cold figures.
#include "icicle/glyphs/GlyphPage.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const defaultText =
    "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзи"   // 41 Cyrillic
    "ΑΒΓΔΕΖΗΘΛΞΠΣΦΨΩαβγδεζηθλξπσφψω"            // 30 Greek
    "日本語中国漢字文件夹下载图片音乐视频桌面"      // 20 CJK
    "àáâãäåçèéêëìíîïñòóôõöùúûüýÿ"                // 27 Latin with accents
    "אבגדה" "ابتث"                                // 5 Hebrew, 4 Arabic
    "\xcc\x81";                                   // U+0301 combining acute

std::vector<char32_t> decode(const std::string& text)
{
    std::vector<char32_t> out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (int k = 1; k < length && i + size_t(k) < text.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + size_t(k)]) & 0x3F);
        out.push_back(c);
        i += size_t(length);
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 5;
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            text += argv[i];
    }
    const std::vector<char32_t> characters = decode(text.empty() ? defaultText : text);
    std::vector<double> times;
    orvex::GlyphPage page;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        page = orvex::buildGlyphPage(characters);
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    const double first = times.front();
    std::vector<double> again(times.begin() + 1, times.end());
    std::sort(again.begin(), again.end());
    std::printf("glyph-page-bench: %zu of %zu characters, atlas %d x %d; first_ms=%.1f cached_ms=%.2f (median of %zu)\n",
                page.characters.size(), characters.size(), page.atlasWidth, page.atlasHeight, first,
                again.empty() ? 0.0 : again[again.size() / 2], again.size());
    return page.characters.empty() ? 1 : 0;
}
