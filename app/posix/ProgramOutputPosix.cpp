#include "app/ProgramOutput.h"

#include <cstdio>

void writeProgramOutput(std::string_view text, bool error)
{
    std::FILE* stream = error ? stderr : stdout;
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}
