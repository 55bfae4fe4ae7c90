// A contact sheet: a grid of reduced frames from a render, written as one PNG.
#pragma once

#include <string>
#include <vector>

#include "HYPluginAPI.h"

namespace host {

class ContactSheet {
public:
    // Cells of cellWidth × cellHeight, `columns` to a row, with a margin between them.
    ContactSheet(int columns, int cellWidth, int cellHeight);
    ~ContactSheet();
    ContactSheet(const ContactSheet&) = delete;
    ContactSheet& operator=(const ContactSheet&) = delete;
    // Scales the frame into the next cell.
    void Add(GWorldPtr frame);
    int Count() const { return int(cells_.size()); }
    bool Write(const std::string& path, std::string* error) const;

private:
    int columns_, cellWidth_, cellHeight_;
    std::vector<GWorldPtr> cells_;
};

// The frames worth showing of a clip with fades: the fade-in, the middle, the fade-out.
std::vector<int> ContactSheetFrames(int frameCount, int fadeIn, int fadeOut, int cells);

}  // namespace host
