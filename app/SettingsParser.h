// SettingsParser: the byte-at-a-time key-value reader behind config.ini. It knows nothing of the
// eight settings: feed() reports each completed pair, and the caller applies it at once, so a key
// that occurs twice ends with its later value. Bytes are taken as they are; no encoding is assumed.
#pragma once

#include <string>

class SettingsParser {
public:
    enum class State { LINE_START, SECTION, KEY, VALUE, QUOTED_VALUE, SKIP_LINE };

    // Takes the next byte of the file. Returns true when the byte completed a pair; key() and
    // value() then hold it until the next call.
    bool feed(unsigned char byte);
    // Tells the parser the input has ended; returns true when that completed a last pair.
    bool finish();

    const std::string& key() const { return keyBuffer; }
    const std::string& value() const { return valueBuffer; }
    // The last complete "[name]" header. Recorded only: a key counts in any section.
    const std::string& section() const { return sectionName; }
    State state() const { return currentState; }

private:
    State currentState = State::LINE_START;
    bool escapeNext = false;
    std::string sectionBuffer;
    std::string sectionName;
    std::string keyBuffer;
    std::string valueBuffer;
};
