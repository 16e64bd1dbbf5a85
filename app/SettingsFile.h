// SettingsFile: finds config.ini, reads it whole and applies it to a Settings record through the
// SettingsParser. Candidates in order: "config.ini" in the working directory, then
// "Velbrin/config.ini" in the user's configuration folder ($XDG_CONFIG_HOME, else ~/.config; on
// Windows the roaming application-data folder, win32/SettingsFileWin32.cpp).
// Nothing here throws for a bad file or shows a message; only exhausted memory raises bad_alloc.
#pragma once

#include "app/Settings.h"

#include <cstddef>
#include <string>
#include <string_view>

// Files larger than this are treated as unreadable: a settings file is a few hundred bytes, and the
// cap keeps a stray huge or growing file from being pulled into memory.
inline constexpr std::size_t MAX_SETTINGS_FILE_SIZE = std::size_t(1) << 20;

// Reads the first candidate that can be read completely and applies every pair in it to
// `settings`; keys missing from the file keep their current values (defaults are not restored).
// Returns true if a file was read and parsed, false if none could be read. Main thread: called when
// the window initialises and on F6. The configuration folder is looked up once per process.
bool loadSettings(Settings& settings);

// -- Building blocks (used by loadSettings; public for the tests) --

// The user's configuration folder: $XDG_CONFIG_HOME if it is an absolute path, else $HOME/.config,
// else the password database's home + "/.config"; empty when none of them is known. On Windows:
// the shell's roaming application-data folder (CSIDL_APPDATA), empty when the shell cannot say.
std::string userConfigFolder();

// The second candidate inside a configuration folder: folder + "/Velbrin/config.ini" (an empty
// folder gives the relative "Velbrin/config.ini"); on Windows with backslashes.
std::string configFileInFolder(const std::string& folder);

// Reads a regular file of at most MAX_SETTINGS_FILE_SIZE bytes completely into `contents`.
// Fails (false) for a missing or unopenable file, anything that is not a regular file (a FIFO would
// block, a device never ends), a larger file, a read error, or a size that changed while reading.
bool readSettingsFile(const std::string& path, std::string& contents);

// strtod's reading in the C locale whatever the process's locale: leading whitespace, sign,
// decimal and exponent forms (and what else the platform's strtod takes); trailing text is
// ignored. False, and `number` untouched, when nothing was read or the result is not finite (inf,
// nan, an overflowing 1e400): every number setting is a size or a factor.
bool readSettingsNumber(const std::string& text, double& number);

// Feeds `bytes` through a SettingsParser and applies every completed pair at once.
void applySettingsText(Settings& settings, std::string_view bytes);

// Applies one pair. Returns true if the key is one of the eight (even if the value left the field
// unchanged), false for an unknown key, which is ignored.
bool applySetting(Settings& settings, std::string_view key, const std::string& value);
