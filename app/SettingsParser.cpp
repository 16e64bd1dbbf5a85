// SettingsParser: six states, one escape flag and three buffers. An escaped byte is translated
// (\n \r \s \t, any other byte stands for itself) and is never a delimiter, but it still counts as
// whitespace where whitespace is skipped or trimmed. Carriage returns are dropped before anything
// else, so CRLF files read like LF files.
#include "app/SettingsParser.h"

namespace {

bool isWhitespace(unsigned char byte)
{
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\r';
}

unsigned char translateEscaped(unsigned char byte)
{
    switch (byte) {
    case 'n': case 'N': return '\n';
    case 'r': case 'R': return '\r';
    case 's': case 'S': return ' ';
    case 't': case 'T': return '\t';
    default: return byte;
    }
}

void trimTrailingWhitespace(std::string& text)
{
    while (!text.empty() && isWhitespace(static_cast<unsigned char>(text.back())))
        text.pop_back();
}

} // namespace

bool SettingsParser::feed(unsigned char byte)
{
    if (byte == '\r')
        return false; // dropped even right after a backslash: the escape stays pending
    if (!escapeNext && byte == '\\') {
        escapeNext = true;
        return false;
    }
    const bool escaped = escapeNext;
    escapeNext = false;
    if (escaped)
        byte = translateEscaped(byte);
    // A delimiter is a delimiter only when it was not escaped.
    auto is = [&](char delimiter) { return !escaped && byte == static_cast<unsigned char>(delimiter); };
    const char asChar = static_cast<char>(byte);

    switch (currentState) {
    case State::LINE_START:
        if (isWhitespace(byte))
            return false;
        if (is('[')) {
            sectionBuffer.clear();
            currentState = State::SECTION;
        } else if (is('"') || is('#') || is(';') || is('=') || is(']')) {
            currentState = State::SKIP_LINE;
        } else {
            keyBuffer.assign(1, asChar);
            valueBuffer.clear();
            currentState = State::KEY;
        }
        return false;
    case State::SECTION:
        if (is(']')) {
            trimTrailingWhitespace(sectionBuffer);
            sectionName = sectionBuffer;
            currentState = State::SKIP_LINE;
        } else if (is('"') || is(';') || is('=')) {
            currentState = State::SKIP_LINE;
        } else if (is('\n')) {
            currentState = State::LINE_START;
        } else if (!(isWhitespace(byte) && sectionBuffer.empty())) {
            sectionBuffer.push_back(asChar);
        }
        return false;
    case State::KEY:
        if (is('=')) {
            trimTrailingWhitespace(keyBuffer);
            currentState = State::VALUE;
        } else if (is(';') || is('"')) {
            currentState = State::SKIP_LINE;
        } else if (is('\n')) {
            currentState = State::LINE_START;
        } else {
            keyBuffer.push_back(asChar);
        }
        return false;
    case State::VALUE:
        if (is('\n') || is(';')) {
            trimTrailingWhitespace(valueBuffer);
            currentState = is('\n') ? State::LINE_START : State::SKIP_LINE; // after ';': a comment
            return true;
        }
        if (is('"') && valueBuffer.empty()) {
            currentState = State::QUOTED_VALUE;
        } else if (!(isWhitespace(byte) && valueBuffer.empty())) {
            valueBuffer.push_back(asChar);
        }
        return false;
    case State::QUOTED_VALUE:
        if (is('"')) {
            currentState = State::SKIP_LINE;
            return true;
        }
        if (is('\n')) { // an unterminated quote ends with its line
            currentState = State::LINE_START;
            return true;
        }
        valueBuffer.push_back(asChar);
        return false;
    case State::SKIP_LINE:
        if (is('\n'))
            currentState = State::LINE_START;
        return false;
    }
    return false;
}

bool SettingsParser::finish()
{
    escapeNext = false;
    const State ended = currentState;
    currentState = State::LINE_START;
    if (ended == State::VALUE) {
        trimTrailingWhitespace(valueBuffer);
        return true;
    }
    return ended == State::QUOTED_VALUE;
}
