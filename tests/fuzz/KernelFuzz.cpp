// Fuzz target of the Tonefade kernel: worlds of random size and row stride over caller-owned
// pixels (with guard bytes in every row gap and around the buffer), random rectangles, slider
// values, copy modes, in-place runs, mismatched sizes and every row kernel the processor has.
// The result must equal the plain reference pixel for pixel; nothing outside the target's
// pixels may change, the source never, and both pixel maps get their lock states back.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Carbon.h"
#include "effect/Tonefade.h"
#include "effect/TonefadeKernels.h"
#include "support/PluginTestSupport.h"

namespace {

constexpr UInt8 kGuard = 0xA5;
constexpr int kGuardBytes = 64;
constexpr int kMaxWidth = 300, kMaxHeight = 40;

// Reads the input front to back; past its end every value is 0.
class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    UInt8 Byte() { return at_ < size_ ? data_[at_++] : 0; }
    UInt16 Word() { return UInt16(Byte() | Byte() << 8); }
    // A value in lo..hi.
    int Range(int lo, int hi) { return lo + int(Word() % UInt16(hi - lo + 1)); }
    const uint8_t* Rest(size_t* count) const {
        *count = size_ - std::min(at_, size_);
        return data_ + std::min(at_, size_);
    }

private:
    const uint8_t* data_;
    size_t size_, at_ = 0;
};

// Pixels in a buffer of their own: rows `rowBytes` apart, guard bytes around and between.
struct Buffer {
    int width, height;
    SInt32 rowBytes;
    std::vector<UInt8> bytes;
    CGrafPtr port = nullptr;

    Buffer(int w, int h, int padPixels, Rect bounds) : width(w), height(h), rowBytes(SInt32(w + padPixels) * 4) {
        bytes.assign(std::size_t(kGuardBytes) * 2 + std::size_t(rowBytes) * std::size_t(h), kGuard);
        port = toolbox::NewPortForPixels(bounds, rowBytes, reinterpret_cast<Ptr>(Pixel(0, 0)));
    }
    ~Buffer() { toolbox::DisposePort(port); }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    std::size_t Offset(int x, int y) const {
        return kGuardBytes + std::size_t(y) * std::size_t(rowBytes) + std::size_t(x) * 4;
    }
    UInt8* Pixel(int x, int y) { return bytes.data() + Offset(x, y); }
    bool IsPixelByte(std::size_t i) const {
        if (i < std::size_t(kGuardBytes) || width == 0) return false;
        const std::size_t offset = i - kGuardBytes;
        return offset / std::size_t(rowBytes) < std::size_t(height) &&
               offset % std::size_t(rowBytes) < std::size_t(width) * 4;
    }
    void Fill(const uint8_t* data, size_t count, UInt32 seed) {
        UInt32 state = seed;
        std::size_t k = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width * 4; ++x, ++k) {
                state = state * 1664525u + 1013904223u;
                Pixel(0, y)[x] = count > 0 ? UInt8(data[k % count] ^ (k / count)) : UInt8(state >> 24);
            }
    }
};

[[noreturn]] void Fail(const char* what, int x, int y) {
    std::fprintf(stderr, "kernel fuzz: %s at x=%d y=%d\n", what, x, y);
    std::abort();
}

// What one run asks of the kernel.
struct Plan {
    int width, height, srcPad, dstPad;
    int mode;  // 0: separate target, 1: nil target, 2: target is the source, 3: target of another size
    Rect bounds, activeRect;
    bool copyRest;
    SInt16 slider;
    TonefadeISA isa;
    bool exactOnly;
};

SInt16 Coordinate(Input& in, int extent) {
    return (in.Byte() & 3) != 0 ? SInt16(in.Range(-4, extent + 4)) : SInt16(in.Word());
}

Plan ReadPlan(Input& in) {
    Plan p{};
    const UInt8 flags = in.Byte();
    p.isa = TonefadeISA(flags & 3);
    p.exactOnly = (flags & 4) != 0;
    p.copyRest = (flags & 8) != 0;
    p.mode = (flags >> 4) & 3;
    p.width = in.Range(0, kMaxWidth);
    p.height = in.Range(0, kMaxHeight);
    p.srcPad = in.Range(0, 9);
    p.dstPad = in.Range(0, 9);
    const SInt16 top = SInt16(in.Range(-50, 50)), left = SInt16(in.Range(-50, 50));
    p.bounds = Rect{top, left, SInt16(top + p.height), SInt16(left + p.width)};
    p.activeRect.top = Coordinate(in, p.height);
    p.activeRect.left = Coordinate(in, p.width);
    p.activeRect.bottom = Coordinate(in, p.height);
    p.activeRect.right = Coordinate(in, p.width);
    p.slider = (flags & 64) != 0 ? SInt16(in.Range(0, 100)) : SInt16(in.Word());
    return p;
}

bool Inside(const Rect& r, int x, int y) { return y >= r.top && y < r.bottom && x >= r.left && x < r.right; }

// The target's pixel as the kernel must leave it.
void Expected(const Plan& p, const UInt8* src, const UInt8* before, UInt8 out[4], int x, int y) {
    if (Inside(p.activeRect, x, y)) testsupport::ReferencePixel(src, out, p.slider);
    else std::memcpy(out, p.copyRest || p.mode != 0 ? src : before, 4);
}

void CheckGuards(const Buffer& b, const char* which) {
    for (std::size_t i = 0; i < b.bytes.size(); ++i)
        if (!b.IsPixelByte(i) && b.bytes[i] != kGuard) Fail(which, int(i), -1);
}

void RunSeparateOrInPlace(const Plan& p, Buffer& src, Buffer* dst) {
    const std::vector<UInt8> srcBefore = src.bytes;
    const std::vector<UInt8> dstBefore = dst ? dst->bytes : src.bytes;
    const Buffer& target = dst ? *dst : src;
    GWorldPtr dest = p.mode == 1 ? nullptr : p.mode == 2 ? src.port : dst->port;
    TonefadeEffect(src.port, dest, p.activeRect, p.copyRest, p.slider);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const std::size_t si = src.Offset(x, y), ti = target.Offset(x, y);
            UInt8 want[4];
            Expected(p, &srcBefore[si], &dstBefore[ti], want, x, y);
            if (std::memcmp(&target.bytes[ti], want, 4) != 0) Fail("pixel differs from the reference", x, y);
        }
    if (dst && src.bytes != srcBefore) Fail("the source was written", -1, -1);
    CheckGuards(src, "source guard byte written");
    if (dst) CheckGuards(*dst, "target guard byte written");
}

void RunMismatched(const Plan& p, Buffer& src, const uint8_t* data, size_t count, int grow) {
    Rect other = p.bounds;
    (grow & 1 ? other.right : other.bottom) += 1;
    Buffer dst(p.width + (grow & 1), p.height + (grow & 1 ? 0 : 1), p.dstPad, other);
    dst.Fill(data, count, 7);
    const std::vector<UInt8> srcBefore = src.bytes, dstBefore = dst.bytes;
    TonefadeEffect(src.port, dst.port, p.activeRect, p.copyRest, p.slider);
    if (src.bytes != srcBefore || dst.bytes != dstBefore) Fail("worlds of different sizes were written", -1, -1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    const Plan p = ReadPlan(in);
    if (!SetTonefadeISAForTesting(p.isa)) SetTonefadeISAForTesting(TonefadeISA::kScalar);
    SetTonefadeExactOnlyForTesting(p.exactOnly);
    size_t count = 0;
    const uint8_t* rest = in.Rest(&count);
    Buffer src(p.width, p.height, p.srcPad, p.bounds);
    src.Fill(rest, count, 1);
    const GWorldFlags srcState = GWorldFlags(rest && count ? rest[0] & 1 : 0) * pixelsLocked;
    SetPixelsState(GetGWorldPixMap(src.port), srcState);
    if (p.mode == 3) {
        RunMismatched(p, src, rest, count, count > 1 ? rest[1] : 0);
    } else {
        Buffer dst(p.width, p.height, p.dstPad, p.bounds);
        dst.Fill(nullptr, 0, 2);
        RunSeparateOrInPlace(p, src, p.mode == 0 ? &dst : nullptr);
        if (p.mode == 0 && GetPixelsState(GetGWorldPixMap(dst.port)) != 0) Fail("target left locked", -1, -1);
    }
    if (GetPixelsState(GetGWorldPixMap(src.port)) != srcState) Fail("source lock state not given back", -1, -1);
    SetTonefadeISAForTesting(TonefadeISA::kAuto);
    SetTonefadeExactOnlyForTesting(false);
    return 0;
}
