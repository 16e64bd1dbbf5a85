// Text conversion between the engine's UTF-8 and the 16-bit units of the Windows API. Windows names
// may hold unpaired surrogates, which no UTF-8 can express; they are kept in their generalized UTF-8
// form (three bytes, as if they were characters), so a name read from the system converts back to
// exactly the units it had and the file can be opened again. Any thread.
#pragma once

#include <string>
#include <string_view>

namespace orvex {

// UTF-8 (with unpaired surrogates in their three-byte form) to UTF-16. A byte sequence that is not
// such text (a stray continuation byte, a truncated or overlong sequence, a value above U+10FFFF)
// becomes one U+FFFD per maximal invalid subpart, the way decoders of the web count them.
std::wstring toWide(std::string_view text);

// UTF-16 to UTF-8; a surrogate that is not half of a pair becomes its three-byte form.
// toWide(fromWide(units)) == units for every sequence of units.
std::string fromWide(std::wstring_view units);

// `path` as the Windows API should see it: UTF-16, and a path too long for the classic MAX_PATH
// limit made absolute and put in its extended-length form (\\?\C:\..., \\?\UNC\server\share\...),
// which the system takes literally. Paths of ordinary length are only converted.
std::wstring toWidePath(std::string_view path);

// `path` absolute, with ".", ".." and doubled separators resolved, in the extended-length form
// whatever its length: for walks that append names of any length and kind (a trailing dot or
// space, a reserved device name) and must reach exactly the entry listed. A device path (\\.\...)
// or one already extended is only converted; so is a path the system cannot make absolute.
std::wstring toExtendedPath(std::string_view path);

// The system's text for a Windows error code, without the trailing period and line break.
std::string systemErrorText(unsigned long code);

} // namespace orvex
