// DrawPictureInGW: a recorded picture drawn scaled into a world, exact to the pixel, with
// the caller's world and device given back; a nil world or picture is left alone.
#include <gtest/gtest.h>

#include <string>

#include "effect/CommonProcs.h"
#include "support/PluginTestSupport.h"

namespace {

// Two pixels, red then blue, recorded in a world of their own.
PicHandle RedBlue() {
    GWorldPtr gw = AllocateGWorld(2, 1);
    toolbox::SaveGWorld saved;
    SetGWorld(gw, nullptr);
    const OpenCPicParams params{{0, 0, 1, 2}, 0x00480000, 0x00480000, -2, 0, 0};
    PicHandle pic = OpenCPicture(&params);
    const RGBColor red = SetRGBColor(-1, 0, 0), blue = SetRGBColor(0, 0, -1);
    const Rect left{0, 0, 1, 1}, right{0, 1, 1, 2};
    RGBForeColor(&red);
    PaintRect(&left);
    RGBForeColor(&blue);
    PaintRect(&right);
    ClosePicture();
    DisposeGWorld(gw);
    return pic;
}

// r and b for the picture's colours, '.' for pixels never drawn.
std::string Letters(GWorldPtr gw) {
    const std::vector<UInt8> px = testsupport::WorldPixels(gw);
    const Rect bounds = GetPortRect(gw);
    std::string s;
    for (std::size_t i = 0; i < px.size(); i += 4) {
        if (i && (i / 4) % std::size_t(bounds.right) == 0) s += '|';
        s += px[i + 1] == 0xFF && px[i + 3] == 0 ? 'r' : px[i + 3] == 0xFF && px[i + 1] == 0 ? 'b' : px[i] ? '?' : '.';
    }
    return s;
}

TEST(DrawPictureInGW, DrawsScaledIntoTheRectangleAndGivesTheCallersWorldAndDeviceBack) {
    PicHandle pic = RedBlue();
    ASSERT_NE(pic, nullptr);
    GWorldPtr target = AllocateGWorld(4, 2), callerWorld = AllocateGWorld(1, 1);
    UInt8 plainPixels[4] = {};
    CGrafPtr plain = toolbox::NewPortForPixels(Rect{0, 0, 1, 1}, 4, reinterpret_cast<Ptr>(plainPixels));
    struct Case {
        Rect r;
        const char* letters;
    } cases[] = {
        {{0, 0, 2, 4}, "rrbb|rrbb"}, {{0, 1, 1, 3}, ".rb.|...."}, {{1, 3, 2, 5}, "....|...r"},
        {{0, 0, 2, 3}, "rrb.|rrb."}, {{0, 0, 1, 1}, "r...|...."}, {{1, 1, 1, 3}, "....|...."},
    };
    toolbox::SaveGWorld outer;
    for (const Case& c : cases)
        for (bool callerIsWorld : {true, false}) {
            SCOPED_TRACE(std::string(c.letters) + (callerIsWorld ? ", from a world" : ", from a port on the main device"));
            testsupport::FillWorld(target, std::vector<UInt8>(4 * 2 * 4, 0));
            SetGWorld(callerIsWorld ? callerWorld : plain, callerIsWorld ? nullptr : GetMainDevice());
            CGrafPtr before;
            GDHandle beforeDevice;
            GetGWorld(&before, &beforeDevice);
            DrawPictureInGW(target, pic, c.r);
            EXPECT_EQ(Letters(target), c.letters);
            CGrafPtr after;
            GDHandle afterDevice;
            GetGWorld(&after, &afterDevice);
            EXPECT_EQ(after, before);
            EXPECT_EQ(afterDevice, beforeDevice);
            EXPECT_EQ(afterDevice, callerIsWorld ? GetGWorldDevice(callerWorld) : GetMainDevice());
            const std::string drawn = Letters(target);
            DrawPictureInGW(target, nullptr, Rect{0, 0, 2, 4});
            DrawPictureInGW(nullptr, pic, Rect{0, 0, 2, 4});
            EXPECT_EQ(Letters(target), drawn);
            EXPECT_EQ(Letters(callerWorld), ".");
            EXPECT_EQ(plainPixels[0] | plainPixels[1] | plainPixels[2] | plainPixels[3], 0);
            GetGWorld(&after, &afterDevice);
            EXPECT_EQ(after, before);
        }
    KillPicture(pic);
    toolbox::DisposePort(plain);
    DisposeGWorld(callerWorld);
    DisposeGWorld(target);
}

}  // namespace
