// Contact sheets, composed in an offscreen world and written with libpng.
#include "ContactSheet.h"

#include <algorithm>

#include "Carbon.h"
#include "quickdraw/QDPng.h"

namespace host {

namespace {
constexpr int kMargin = 8;
}

ContactSheet::ContactSheet(int columns, int cellWidth, int cellHeight)
    : columns_(std::max(1, columns)), cellWidth_(cellWidth), cellHeight_(cellHeight) {}

ContactSheet::~ContactSheet() {
    for (GWorldPtr cell : cells_) DisposeGWorld(cell);
}

void ContactSheet::Add(GWorldPtr frame) {
    Rect cellRect{0, 0, SInt16(cellHeight_), SInt16(cellWidth_)}, src;
    GWorldPtr cell = nullptr;
    if (NewGWorld(&cell, 32, &cellRect, nullptr, nullptr, 0) != noErr) return;
    GetPortBounds(frame, &src);
    CopyBits(GetPortBitMapForCopyBits(frame), GetPortBitMapForCopyBits(cell), &src, &cellRect, srcCopy, nullptr);
    cells_.push_back(cell);
}

bool ContactSheet::Write(const std::string& path, std::string* error) const {
    const int count = std::max(1, Count());
    const int cols = std::min(columns_, count), rows = (count + columns_ - 1) / columns_;
    Rect sheetRect{0, 0, SInt16(kMargin + rows * (cellHeight_ + kMargin)), SInt16(kMargin + cols * (cellWidth_ + kMargin))};
    GWorldPtr sheet = nullptr;
    if (NewGWorld(&sheet, 32, &sheetRect, nullptr, nullptr, 0) != noErr) {
        if (error) *error = "not enough memory for the contact sheet";
        return false;
    }
    {
        toolbox::SaveGWorld saved;
        SetGWorld(sheet, nullptr);
        RGBColor grey{0x2000, 0x2000, 0x2000};
        RGBForeColor(&grey);
        PaintRect(&sheetRect);
    }
    for (int i = 0; i < Count(); ++i) {
        SInt16 left = SInt16(kMargin + (i % columns_) * (cellWidth_ + kMargin));
        SInt16 top = SInt16(kMargin + (i / columns_) * (cellHeight_ + kMargin));
        Rect src{0, 0, SInt16(cellHeight_), SInt16(cellWidth_)}, dst{top, left, SInt16(top + cellHeight_), SInt16(left + cellWidth_)};
        CopyBits(GetPortBitMapForCopyBits(cells_[std::size_t(i)]), GetPortBitMapForCopyBits(sheet), &src, &dst, srcCopy,
                 nullptr);
    }
    bool ok = toolbox::WritePortPNG(sheet, path, error);
    DisposeGWorld(sheet);
    return ok;
}

std::vector<int> ContactSheetFrames(int frameCount, int fadeIn, int fadeOut, int cells) {
    std::vector<int> picks;
    if (frameCount <= 0 || cells <= 0) return picks;
    const int third = std::max(1, cells / 3);
    auto spread = [&](int from, int to, int n) {  // n frames evenly over [from, to]
        for (int k = 0; k < n; ++k) picks.push_back(n == 1 ? from : from + int(long(to - from) * k / (n - 1)));
    };
    int inEnd = std::clamp(fadeIn, 1, frameCount) - 1, outStart = std::clamp(frameCount - fadeOut, 0, frameCount - 1);
    spread(0, inEnd + (fadeIn > 0 ? 1 : 0), third);
    spread(frameCount / 2 - 1, frameCount / 2 + 1, cells - 2 * third);
    spread(outStart, frameCount - 1, third);
    for (int& p : picks) p = std::clamp(p, 0, frameCount - 1);
    std::sort(picks.begin(), picks.end());
    picks.erase(std::unique(picks.begin(), picks.end()), picks.end());
    return picks;
}

}  // namespace host
