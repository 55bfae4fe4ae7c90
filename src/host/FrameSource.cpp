// The clip held in memory.
#include "FrameSource.h"

#include <cstring>

#include "Carbon.h"

namespace host {

void MemoryClip::AddFrame(std::vector<UInt8> argb, std::vector<int16_t> audio) {
    frames_.push_back(Frame{std::move(argb), std::move(audio)});
}

bool MemoryClip::ReadFrame(int index, GWorldPtr world, std::string* error) {
    if (index < 0 || index >= FrameCount()) {
        if (error) *error = "frame " + std::to_string(index) + " is outside the clip";
        return false;
    }
    PixMapHandle pm = GetGWorldPixMap(world);
    const std::vector<UInt8>& src = frames_[std::size_t(index)].argb;
    for (int y = 0; y < height_; ++y)
        std::memcpy(GetPixBaseAddr(pm) + std::ptrdiff_t(y) * GetPixRowBytes(pm),
                    src.data() + std::size_t(y) * std::size_t(width_) * 4, std::size_t(width_) * 4);
    return true;
}

std::vector<int16_t> MemoryClip::FrameAudio(int index) {
    if (index < 0 || index >= FrameCount()) return {};
    return frames_[std::size_t(index)].audio;
}

}  // namespace host
