// PNG reading and writing with libpng. Files are written under a temporary name and
// renamed into place, so a failed write never leaves a file that looks complete; a link
// in the file's place keeps pointing where it did, and its target gets the picture.
#include "quickdraw/QDPng.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "files/OutputPaths.h"

namespace toolbox {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

void SetError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

bool WriteRows(std::FILE* f, int width, int height, bool withAlpha,
               const std::vector<std::vector<UInt8>>& rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, f);
    png_set_compression_level(png, 3);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8,
                 withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (const auto& row : rows) png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

// Writes a temporary file beside what `path` names (a link is followed) and renames it
// over that; the null device is written to directly.
template <typename WriteFn>
bool WriteInPlace(const std::string& path, WriteFn write, std::string* error) {
    OutputTarget target;
    std::string why;
    if (!ResolveOutputTarget(path, &target, &why)) {
        SetError(error, why);
        return false;
    }
    if (!target.sink) RemoveAbandonedPartFiles(std::filesystem::path(target.path).parent_path().string());
    const std::string temp = target.sink ? target.path : PartFileNameFor(target.path);
    FilePtr f(std::fopen(temp.c_str(), "wb"));
    if (!f) {
        SetError(error, std::strerror(errno));
        return false;
    }
    bool ok = write(f.get());
    ok = std::fflush(f.get()) == 0 && ok;
    ok = std::fclose(f.release()) == 0 && ok;
    if (target.sink) {
        if (!ok) SetError(error, "cannot write PNG data");
        return ok;
    }
    if (!ok || std::rename(temp.c_str(), target.path.c_str()) != 0) {
        SetError(error, ok ? std::strerror(errno) : "cannot write PNG data");
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace

bool WritePixMapPNG(PixMapHandle pm, const Rect& area, const std::string& path, bool withAlpha,
                    std::string* error) {
    if (pm == nullptr || *pm == nullptr || (*pm)->pixelSize != 32) {
        SetError(error, "not a 32-bit pixel map");
        return false;
    }
    Rect r;
    if (!SectRect(&area, &(*pm)->bounds, &r)) {
        SetError(error, "empty picture");
        return false;
    }
    int width = r.right - r.left, height = r.bottom - r.top, channels = withAlpha ? 4 : 3;
    std::vector<std::vector<UInt8>> rows(std::size_t(height), std::vector<UInt8>(std::size_t(width * channels)));
    for (int y = 0; y < height; ++y) {
        const UInt8* src = reinterpret_cast<const UInt8*>(GetPixBaseAddr(pm)) +
                           std::ptrdiff_t(r.top - (*pm)->bounds.top + y) * (*pm)->rowBytes +
                           std::ptrdiff_t(r.left - (*pm)->bounds.left) * 4;
        UInt8* dst = rows[std::size_t(y)].data();
        for (int x = 0; x < width; ++x, src += 4, dst += channels) {
            dst[0] = src[1];
            dst[1] = src[2];
            dst[2] = src[3];
            if (withAlpha) dst[3] = src[0];
        }
    }
    return WriteInPlace(path, [&](std::FILE* f) { return WriteRows(f, width, height, withAlpha, rows); }, error);
}

bool WritePortPNG(CGrafPtr port, const std::string& path, std::string* error) {
    Rect bounds;
    GetPortBounds(port, &bounds);
    return WritePixMapPNG(GetPortPixMap(port), bounds, path, false, error);
}

bool ReadPNG(const std::string& path, ARGBImage* image, std::string* error) {
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) {
        SetError(error, img.message);
        return false;
    }
    img.format = PNG_FORMAT_ARGB;
    image->width = int(img.width);
    image->height = int(img.height);
    image->pixels.assign(std::size_t(PNG_IMAGE_SIZE(img)), 0);
    if (!png_image_finish_read(&img, nullptr, image->pixels.data(), 0, nullptr)) {
        SetError(error, img.message);
        png_image_free(&img);
        return false;
    }
    return true;
}

}  // namespace toolbox
