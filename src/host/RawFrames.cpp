// Raw frames by their index entries: pread into a band that stays in the cache, each
// band reordered into the world at once.
#include "RawFrames.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace host {

namespace {

// A band small enough to stay in the second-level cache between the system's copy into
// it and the reordering out of it.
constexpr std::size_t kBandBytes = 256 * 1024;

// The index entries' file offsets, or empty when they do not give one whole frame each,
// in order, and nothing else (an edit list's dropped frames, a partial index).
std::vector<int64_t> FrameOffsets(AVStream* st, int frameCount, int64_t frameBytes) {
    if (avformat_index_get_entries_count(st) != frameCount) return {};
    std::vector<int64_t> offsets;
    offsets.reserve(std::size_t(frameCount));
    int64_t lastTime = INT64_MIN;
    for (int i = 0; i < frameCount; ++i) {
        const AVIndexEntry* e = avformat_index_get_entry(st, i);
        if (e == nullptr || e->size != frameBytes || e->pos < 0 || (e->flags & AVINDEX_DISCARD_FRAME) ||
            e->timestamp <= lastTime)
            return {};
        lastTime = e->timestamp;
        offsets.push_back(e->pos);
    }
    return offsets;
}

}  // namespace

std::unique_ptr<RawFrames> RawFrames::Open(const std::string& path, AVFormatContext* input, int stream,
                                           int frameCount, const AVFrame* decoded) {
    AVStream* st = input->streams[stream];
    const AVCodecParameters* par = st->codecpar;
    const AVPixelFormat format = AVPixelFormat(par->format);
    if (par->codec_id != AV_CODEC_ID_RAWVIDEO || !av::IsPacked32(format) || decoded == nullptr ||
        decoded->format != format || decoded->width != par->width || decoded->height != par->height ||
        par->width <= 0 || par->height <= 0 || frameCount <= 0)
        return nullptr;
    const int64_t rowBytes = int64_t(par->width) * 4;
    // Rows the decoder turns upside down come with a negative stride, padded ones with a
    // longer one: left to the decoder whatever frame 0 holds (it may be all black).
    if (decoded->linesize[0] != rowBytes) return nullptr;
    std::unique_ptr<RawFrames> raw(new RawFrames);
    raw->offsets_ = FrameOffsets(st, frameCount, rowBytes * par->height);
    if (raw->offsets_.empty()) return nullptr;
    // Opened a second time, after the decoder: whatever is at the path now must still be a
    // regular file (a pipe put there meanwhile would block the read), and frame 0 below
    // must still be the decoder's.
    raw->fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (raw->fd_ < 0 || ::fstat(raw->fd_, &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
    raw->format_ = format;
    raw->width_ = par->width;
    raw->height_ = par->height;
    raw->band_.resize(std::size_t(std::max<int64_t>(rowBytes, int64_t(kBandBytes) / rowBytes * rowBytes)));
    // The decoder's own frame 0 against the bytes the index points at: rows upside down,
    // padded or offset would show here, and those frames are left to the decoder.
    const int bandRows = int(int64_t(raw->band_.size()) / rowBytes);
    for (int y0 = 0; y0 < raw->height_; y0 += bandRows) {
        const int rows = std::min(bandRows, raw->height_ - y0);
        if (!raw->ReadBand(raw->offsets_[0] + y0 * rowBytes, std::size_t(rowBytes * rows))) return nullptr;
        for (int y = 0; y < rows; ++y)
            if (std::memcmp(raw->band_.data() + y * rowBytes, decoded->data[0] + (y0 + y) * decoded->linesize[0],
                            std::size_t(rowBytes)) != 0)
                return nullptr;
    }
    return raw;
}

RawFrames::~RawFrames() {
    if (fd_ >= 0) ::close(fd_);
}

bool RawFrames::ReadBand(int64_t offset, std::size_t bytes) {
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t got = ::pread(fd_, band_.data() + done, bytes - done, off_t(offset + int64_t(done)));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            readError_ = got < 0 ? errno : 0;
            return false;
        }
        done += std::size_t(got);
    }
    return true;
}

bool RawFrames::Read(int index, GWorldPtr world, std::string* error) {
    const av::WorldPlane plane = av::PlaneOf(world);
    if (index < 0 || index >= int(offsets_.size()) || plane.width != width_ || plane.height != height_) {
        *error = "frame " + std::to_string(index) + " is outside the clip";
        return false;
    }
    const std::size_t rowBytes = std::size_t(width_) * 4;
    const int bandRows = int(band_.size() / rowBytes);
    for (int y = 0; y < height_; y += bandRows) {
        const int rows = std::min(bandRows, height_ - y);
        if (!ReadBand(offsets_[std::size_t(index)] + int64_t(y) * int64_t(rowBytes), rowBytes * std::size_t(rows))) {
            *error = "frame " + std::to_string(index) +
                     (readError_ != 0 ? " cannot be read (" + std::string(std::strerror(readError_)) + ")"
                                      : " cannot be decoded (the file ends before it)");
            return false;
        }
        av::PackedRowsToWorld(format_, band_.data(), std::ptrdiff_t(rowBytes), rows, y, plane);
    }
    return true;
}

}  // namespace host
