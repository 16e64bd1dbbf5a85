// SettingsFile, the part common to every platform: applying the parser's pairs to the record and
// the lookup order. Reading files, finding the configuration folder and reading numbers in the C
// locale are the platform's (posix/, win32/).
#include "app/SettingsFile.h"

#include "app/SettingsParser.h"

namespace {

// The value as a decimal integer ("+"/"-" then digits up to the first other byte; anything else
// reads 0), then 0 → false and 1 → true. Every other integer leaves the field alone. The magnitude
// saturates at 2, which already means "other", so long digit runs cannot overflow.
void readBoolean(const std::string& text, bool& flag)
{
    std::size_t position = 0;
    bool negative = false;
    if (position < text.size() && (text[position] == '+' || text[position] == '-'))
        negative = text[position++] == '-';
    unsigned magnitude = 0;
    for (; position < text.size() && text[position] >= '0' && text[position] <= '9'; ++position)
        magnitude = magnitude >= 2 ? 2 : magnitude * 10 + unsigned(text[position] - '0');
    if (magnitude == 0)
        flag = false; // also empty, "true", "yes", "-0"
    else if (magnitude == 1 && !negative)
        flag = true;
}

} // namespace

bool applySetting(Settings& settings, std::string_view key, const std::string& value)
{
    struct NumberKey { std::string_view name; double Settings::*field; };
    static constexpr NumberKey numberKeys[] = {
        { "windowWidth", &Settings::windowWidth },
        { "windowHeight", &Settings::windowHeight },
        { "uiScaleMultiplier", &Settings::uiScaleMultiplier },
        { "nodeBudget", &Settings::nodeBudget },
        { "scrollSpeedMultiplier", &Settings::scrollSpeedMultiplier },
        { "middleMouseSpeedMultiplier", &Settings::middleMouseSpeedMultiplier },
        { "mouseDragInertia", &Settings::mouseDragInertia },
    };
    for (const NumberKey& entry : numberKeys) {
        if (key == entry.name) {
            readSettingsNumber(value, settings.*entry.field);
            return true;
        }
    }
    if (key == "lockWindowSize") {
        readBoolean(value, settings.lockWindowSize);
        return true;
    }
    if (key == "smoothScrolling") {
        readBoolean(value, settings.smoothScrolling);
        return true;
    }
    return false;
}

void applySettingsText(Settings& settings, std::string_view bytes)
{
    SettingsParser parser;
    for (char byte : bytes) {
        if (parser.feed(static_cast<unsigned char>(byte)))
            applySetting(settings, parser.key(), parser.value());
    }
    if (parser.finish())
        applySetting(settings, parser.key(), parser.value());
}

bool loadSettings(Settings& settings)
{
    static const std::string folder = userConfigFolder();
    std::string contents;
    for (const std::string& path : { std::string("config.ini"), configFileInFolder(folder) }) {
        if (readSettingsFile(path, contents)) {
            applySettingsText(settings, contents);
            return true;
        }
    }
    return false;
}
