// The clip held in memory.
#include "FrameSource.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numeric>

#include "Carbon.h"

namespace host {

namespace {

FrameRateRatio Reduced(long long num, long long den) {
    const long long g = std::gcd(num, den);
    return FrameRateRatio{int(num / g), int(den / g)};
}

bool Whole(double x) { return std::fabs(x - std::round(x)) < 1e-6 * std::max(1.0, std::fabs(x)); }

}  // namespace

FrameRateRatio RatioOfRate(double fps) {
    if (!(fps > 0) || !std::isfinite(fps) || fps > 1e6) return {};
    for (long long den : {1LL, 1001LL, 10LL, 100LL, 1000LL})
        if (Whole(fps * double(den))) return Reduced(std::llround(fps * double(den)), den);
    return Reduced(std::llround(fps * 1e6), 1000000);
}

std::string RateText(FrameRateRatio rate) {
    if (rate.den == 1) return std::to_string(rate.num);
    return std::to_string(rate.num) + "/" + std::to_string(rate.den);
}

bool ParseRate(const std::string& text, FrameRateRatio* rate) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) {
        char* end = nullptr;
        const double fps = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0' || !(fps > 0) || !std::isfinite(fps) || fps > 1e6) return false;
        *rate = RatioOfRate(fps);
        return true;
    }
    const std::string a = text.substr(0, slash), b = text.substr(slash + 1);
    auto digits = [](const std::string& s) {
        return !s.empty() && s.size() <= 9 && s.find_first_not_of("0123456789") == std::string::npos;
    };
    if (!digits(a) || !digits(b) || std::stoll(a) == 0 || std::stoll(b) == 0) return false;
    *rate = Reduced(std::stoll(a), std::stoll(b));
    return true;
}

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
