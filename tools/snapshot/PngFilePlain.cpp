// PNG writing without libpng (Windows builds, where the library is not at hand): PngEncoder's
// stored-block files through OutputFile, so an existing file is replaced only by a complete
// picture. Reading is left to builds with libpng.
#include "tools/snapshot/PngFile.h"

#include "engine/core/OutputFile.h"
#include "tools/snapshot/PngEncoder.h"

bool writePng(const std::string& path, const orvex::Image& image, std::string& error)
{
    const std::string bytes = encodePng(image);
    if (bytes.empty()) {
        error = "writePng: the image must be non-empty 8-bit RGBA";
        return false;
    }
    orvex::OutputFile file;
    if (!file.open(path, error))
        return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.stream()) != bytes.size()) {
        const std::string failure = file.writeFailure();
        error = "cannot write " + path + ": " + (failure.empty() ? "write error" : failure);
        return false;
    }
    return file.commit(error);
}

bool readPng(const std::string& path, orvex::Image&, std::string& error)
{
    error = path + ": this build reads no PNG files";
    return false;
}
