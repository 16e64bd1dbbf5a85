// UTF-8 and code points. Decoding is strict: an overlong form, a surrogate, a value above
// U+10FFFF or a truncated sequence gives one U+FFFD per offending byte, so no input is lost silently
// and nothing outside Unicode comes out.
#include "gui/TextObject.h"

namespace orvex::gui {

std::u32string fromUtf8(std::string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        char32_t value = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool valid = length > 0 && i + size_t(length) <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + size_t(k)]);
            valid = (next & 0xC0) == 0x80;
            value = (value << 6) | (next & 0x3F);
        }
        static constexpr char32_t smallest[] = { 0, 0, 0x80, 0x800, 0x10000 };
        valid = valid && value >= smallest[length] && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF);
        out.push_back(valid ? value : U'\uFFFD');
        i += valid ? size_t(length) : 1;
    }
    return out;
}

std::string toUtf8(std::u32string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char32_t value : text) {
        if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            value = U'\uFFFD';
        if (value < 0x80) {
            out.push_back(char(value));
        } else if (value < 0x800) {
            out.push_back(char(0xC0 | (value >> 6)));
            out.push_back(char(0x80 | (value & 0x3F)));
        } else if (value < 0x10000) {
            out.push_back(char(0xE0 | (value >> 12)));
            out.push_back(char(0x80 | ((value >> 6) & 0x3F)));
            out.push_back(char(0x80 | (value & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (value >> 18)));
            out.push_back(char(0x80 | ((value >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((value >> 6) & 0x3F)));
            out.push_back(char(0x80 | (value & 0x3F)));
        }
    }
    return out;
}

} // namespace orvex::gui
