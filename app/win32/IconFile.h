// IconFile: the bytes of a Windows .ico file holding several sizes of one picture, for the
// executable's icon resource. Each entry is a 32-bit DIB with alpha (BGRA rows bottom-up, twice
// the height in its header) and the 1-bit AND mask after it, set where the pixel is fully
// transparent; every Windows version and Wine read that form at any size up to 256. Plain bytes,
// no Windows headers: the build machine writes the file with a host tool (make-app-icon).
#pragma once

#include "engine/window/Window.h"

#include <string>
#include <vector>

// Empty when an image is not square RGBA of 1 to 256 pixels or there are none.
std::string encodeIcoFile(const std::vector<orvex::Window::Icon>& images);
