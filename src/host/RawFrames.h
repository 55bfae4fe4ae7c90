// Uncompressed 32-bit frames read straight from their file into worlds, a band of rows at
// a time, where the container's index says where every frame lies: no frame-sized
// packet is made, filled and read again for each frame.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "FFmpegUtil.h"

namespace host {

class RawFrames {
public:
    // Null unless stream `stream` of `input` holds B,G,R,A, R,G,B,A or A,R,G,B frames of
    // exactly width × height × 4 bytes, one per index entry, `frameCount` of them in
    // order, and the bytes at the first entry are those of `decoded` (the decoder's
    // frame 0, to the byte). Frames of any other kind are decoded as before.
    static std::unique_ptr<RawFrames> Open(const std::string& path, AVFormatContext* input, int stream,
                                           int frameCount, const AVFrame* decoded);
    ~RawFrames();
    RawFrames(const RawFrames&) = delete;
    RawFrames& operator=(const RawFrames&) = delete;

    // Frame `index` into `world` (of the frames' size); false with the reason when the
    // file ends before the frame does or cannot be read.
    bool Read(int index, GWorldPtr world, std::string* error);

private:
    RawFrames() = default;
    bool ReadBand(int64_t offset, std::size_t bytes);

    int fd_ = -1;
    int readError_ = 0;  // errno of the last failed read; 0 at the file's end
    AVPixelFormat format_ = AV_PIX_FMT_NONE;
    int width_ = 0, height_ = 0;
    std::vector<int64_t> offsets_;
    std::vector<uint8_t> band_;
};

}  // namespace host
