// PNG files for pixel maps: writing a port's picture and reading a PNG into 32-bit pixels.
// Used for window snapshots, rendered frames and contact sheets.
#pragma once

#include <string>
#include <vector>

#include "quickdraw/QuickDraw.h"

namespace toolbox {

// Writes the 32-bit pixels inside `area` (port coordinates) as an 8-bit RGBA PNG when
// withAlpha, else RGB. Returns false (and leaves no file) when writing fails.
bool WritePixMapPNG(PixMapHandle pm, const Rect& area, const std::string& path, bool withAlpha,
                    std::string* error = nullptr);
bool WritePortPNG(CGrafPtr port, const std::string& path, std::string* error = nullptr);

// Reads a PNG as 32-bit pixels in memory order A, R, G, B (alpha 255 when the file has none).
struct ARGBImage {
    int width = 0;
    int height = 0;
    std::vector<UInt8> pixels;  // width * 4 bytes per row
};
bool ReadPNG(const std::string& path, ARGBImage* image, std::string* error = nullptr);

}  // namespace toolbox
