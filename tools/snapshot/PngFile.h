// PngFile: writes and reads 8-bit RGBA pictures as PNG files through libpng's simplified API.
// The snapshot tool writes its pictures with it; its tests read the reference pictures back.
#pragma once

#include "engine/gl/PixelFormat.h"

#include <string>

// Writes `image` (RGBA, 8 bits per channel, top row first) to `path`; false with the reason
// (the system's or libpng's) in `error`. The picture is written beside `path` and renamed over it
// when complete: on failure `path` is as it was, and nothing is left behind.
bool writePng(const std::string& path, const orvex::Image& image, std::string& error);

// Reads any PNG into RGBA, 8 bits per channel, top row first; false with the reason in `error`.
bool readPng(const std::string& path, orvex::Image& out, std::string& error);
