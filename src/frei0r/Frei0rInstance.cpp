// Frei0rInstance: the frame's road. The frame is turned into the effect's byte order, run
// through DoEffect (driver and kernel, in place) under the toolbox lock, turned back, and
// inside a fade the unprocessed frame is blended over it as the render pass has the
// editor do.
#include "Frei0rInstance.h"

#include <bit>
#include <cstring>
#include <new>

#include "effect/DataHandling.h"
#include "effect/EffectBridge.h"
#include "effect/FadeSchedule.h"
#include "effect/PrefsLoader.h"
#include "quickdraw/QDBlend.h"

namespace {

constexpr bool kLittle = std::endian::native == std::endian::little;

// R,G,B,A bytes to A,R,G,B: one rotation of each pixel by a byte. Also built for AVX2,
// where the loop becomes a byte shuffle per 8 pixels.
__attribute__((target_clones("avx2", "default"))) void RowToWorld(UInt32* d, const UInt32* s, SInt32 n) {
    for (SInt32 x = 0; x < n; ++x) d[x] = kLittle ? std::rotl(s[x], 8) : std::rotr(s[x], 8);
}

__attribute__((target_clones("avx2", "default"))) void RowFromWorld(UInt32* d, const UInt32* s, SInt32 n) {
    for (SInt32 x = 0; x < n; ++x) d[x] = kLittle ? std::rotr(s[x], 8) : std::rotl(s[x], 8);
}

UInt32* WorldRow(frei0rInstanceRec* instance, SInt32 y) {
    return reinterpret_cast<UInt32*>(instance->worldBase + std::ptrdiff_t(y) * instance->worldRowBytes);
}

// One row of pixels as a pixel map, for the blend.
PixMap RowMap(const UInt32* row, SInt32 width) {
    PixMap map{};
    map.baseAddr = reinterpret_cast<Ptr>(const_cast<UInt32*>(row));
    map.rowBytes = width * 4;
    map.bounds = Rect{0, 0, 1, SInt16(width)};
    map.pixelSize = 32;
    return map;
}

// The effect on the world, as the render pass runs it: the world current, DoEffect with
// the instance's settings. The frame position reaches neither the rectangle nor the
// kernel, so none is passed.
void ApplyEffectInPlace(frei0rInstanceRec* instance) {
    std::lock_guard<std::mutex> toolbox(ToolboxLock());
    toolbox::SaveGWorld saved;
    SetGWorld(instance->world, nullptr);
    DoEffect(&instance->settings.config, nullptr, instance->world, instance->world, 0, 0, 0, 0, 0.0, 0.0, 0.0,
             nullptr);
}

SInt16 OpacityAt(const frei0rSettingsRec& settings, double time) {
    double fadeIn = settings.fadeIn, fadeOut = settings.fadeOut;
    ClampFadeTimes(settings.clipLength, &fadeIn, &fadeOut);
    return FadeOpacityAt(time, settings.clipLength, fadeIn, fadeOut);
}

}  // namespace

std::mutex& ToolboxLock() {
    static std::mutex lock;
    return lock;
}

void InitFrei0rSide(void) {
    std::lock_guard<std::mutex> toolbox(ToolboxLock());
    toolbox::SetApplicationName("tonefade");
}

frei0rInstanceRec* NewFrei0rInstance(unsigned width, unsigned height) {
    if (width == 0 || height == 0 || width > 32767 || height > 32767 ||
        long(width) * long(height) > toolbox::kMaxGWorldPixels)
        return nullptr;
    auto* instance = new (std::nothrow) frei0rInstanceRec{};
    if (instance == nullptr) return nullptr;
    instance->width = SInt32(width);
    instance->height = SInt32(height);
    instance->fadeRow.resize(width);
    std::lock_guard<std::mutex> toolbox(ToolboxLock());
    Rect bounds{0, 0, SInt16(height), SInt16(width)};
    if (NewGWorld(&instance->world, 32, &bounds, nullptr, nullptr, 0) != noErr || instance->world == nullptr) {
        delete instance;
        return nullptr;
    }
    PixMapHandle pixMap = GetGWorldPixMap(instance->world);
    instance->worldBase = reinterpret_cast<UInt8*>(GetPixBaseAddr(pixMap));
    instance->worldRowBytes = GetPixRowBytes(pixMap);
    // The user's saved settings, read with the plug-in's own code; without a usable file
    // the defaults stand. Nothing is written back: the dialog owns the file.
    ResetConfig(&instance->settings.config);
    (void)ReadConfig(&instance->settings.config);
    return instance;
}

void DisposeFrei0rInstance(frei0rInstanceRec* instance) {
    if (instance == nullptr) return;
    {
        std::lock_guard<std::mutex> toolbox(ToolboxLock());
        DisposeGWorld(instance->world);
    }
    delete instance;
}

void RenderFrei0rFrame(frei0rInstanceRec* instance, double time, const UInt32* in, UInt32* out) {
    if (instance == nullptr || in == nullptr || out == nullptr) return;
    std::lock_guard<std::mutex> busy(instance->busy);
    const SInt32 w = instance->width, h = instance->height;
    for (SInt32 y = 0; y < h; ++y) RowToWorld(WorldRow(instance, y), in + std::ptrdiff_t(y) * w, w);
    ApplyEffectInPlace(instance);
    const SInt16 opacity = OpacityAt(instance->settings, time);
    if (opacity < 0) {
        for (SInt32 y = 0; y < h; ++y) RowFromWorld(out + std::ptrdiff_t(y) * w, WorldRow(instance, y), w);
        return;
    }
    // Row by row; through a buffer when `in` is the same frame, so that it stays whole.
    const bool inPlace = in == out;
    const Rect rowRect{0, 0, 1, SInt16(w)};
    for (SInt32 y = 0; y < h; ++y) {
        const UInt32* source = in + std::ptrdiff_t(y) * w;
        UInt32* row = inPlace ? instance->fadeRow.data() : out + std::ptrdiff_t(y) * w;
        RowFromWorld(row, WorldRow(instance, y), w);
        toolbox::BlendPixMaps(RowMap(source, w), RowMap(row, w), rowRect, rowRect, opacity);
        if (inPlace) std::memcpy(out + std::ptrdiff_t(y) * w, row, std::size_t(w) * 4);
    }
}
