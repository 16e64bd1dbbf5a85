// PNG writing and reading with libpng's png_image interface, which converts any stored format to
// the one asked for and reports failures as text instead of longjmp-ing through our frames. Writes
// go through OutputFile, so an existing file is replaced only by a complete picture.
#include "tools/snapshot/PngFile.h"

#include "engine/core/OutputFile.h"

#include <png.h>

bool writePng(const std::string& path, const orvex::Image& image, std::string& error)
{
    if (image.format() != orvex::PixelFormat { orvex::COMPONENT_UINT8, 4 } || image.byteSize() == 0) {
        error = "writePng: the image must be non-empty 8-bit RGBA";
        return false;
    }
    orvex::OutputFile file;
    if (!file.open(path, error))
        return false;
    png_image png {};
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(image.width());
    png.height = png_uint_32(image.height());
    png.format = PNG_FORMAT_RGBA;
    const bool written = png_image_write_to_stdio(&png, file.stream(), 0, image.data(), 0, nullptr) != 0;
    const std::string libpngMessage = png.message;
    png_image_free(&png);
    if (!written) {
        // libpng says only "Write Error" when the stream fails; the system's reason is better.
        const std::string failure = file.writeFailure();
        error = "cannot write " + path + ": " + (failure.empty() ? libpngMessage : failure);
        return false; // the temporary file goes with `file`; what `path` named is untouched
    }
    return file.commit(error);
}

bool readPng(const std::string& path, orvex::Image& out, std::string& error)
{
    png_image png {};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        error = path + ": " + png.message;
        png_image_free(&png);
        return false;
    }
    png.format = PNG_FORMAT_RGBA;
    orvex::Image image({ orvex::COMPONENT_UINT8, 4 }, int(png.width), int(png.height));
    if (!png_image_finish_read(&png, nullptr, image.data(), 0, nullptr)) {
        error = path + ": " + png.message;
        png_image_free(&png);
        return false;
    }
    out = std::move(image);
    return true;
}
