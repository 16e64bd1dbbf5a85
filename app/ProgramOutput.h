// ProgramOutput: where the command line's answers (--help, --version, a bad argument) go. On Linux
// that is stdout or stderr. A Windows program of the GUI subsystem starts without a console: there
// the text goes to the standard handle the parent gave it (a pipe, a file, a terminal under Wine),
// else to the console of the process that started it, else into a message box.
#pragma once

#include <string_view>

// `text` ends with a newline; `error` picks stderr (and the error icon of the message box).
void writeProgramOutput(std::string_view text, bool error);
