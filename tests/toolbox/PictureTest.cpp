// Pictures: what is drawn between OpenCPicture and ClosePicture is kept and played back
// scaled by DrawPicture, on tiny worlds with exact pixels.
#include <gtest/gtest.h>

#include <string>

#include "Carbon.h"

namespace {

const RGBColor kRed{0xFFFF, 0, 0}, kGreen{0, 0xFFFF, 0}, kBlue{0, 0, 0xFFFF};

// A world whose pixels read as letters: r, g, b, w (white), '.' never drawn, '?' other.
struct World {
    GWorldPtr gw = nullptr;
    explicit World(Rect bounds) { EXPECT_EQ(NewGWorld(&gw, 32, &bounds, nullptr, nullptr, 0), noErr); }
    ~World() { DisposeGWorld(gw); }
    std::string Letters() const {
        PixMapHandle pm = GetGWorldPixMap(gw);
        Rect b;
        GetPortBounds(gw, &b);
        std::string s;
        for (int y = 0; y < b.bottom - b.top; ++y) {
            if (y) s += '|';
            for (int x = 0; x < b.right - b.left; ++x) {
                const UInt8* p = reinterpret_cast<UInt8*>(GetPixBaseAddr(pm)) + y * GetPixRowBytes(pm) + x * 4;
                const UInt32 rgb = UInt32(p[1]) << 16 | UInt32(p[2]) << 8 | p[3];
                s += p[0] == 0 && rgb == 0 ? '.'
                     : rgb == 0xFF0000     ? 'r'
                     : rgb == 0x00FF00     ? 'g'
                     : rgb == 0x0000FF     ? 'b'
                     : rgb == 0xFFFFFF     ? 'w'
                                           : '?';
            }
        }
        return s;
    }
};

void Dot(int x, int y, const RGBColor& c) {
    RGBForeColor(&c);
    Rect r{SInt16(y), SInt16(x), SInt16(y + 1), SInt16(x + 1)};
    PaintRect(&r);
}

OpenCPicParams Params(Rect frame) { return OpenCPicParams{frame, 0x00480000, 0x00480000, -2, 0, 0}; }

// Red, green over blue and a pixel left undrawn, recorded in the frame (1, 1, 3, 3) of a
// 4 x 4 world, with a dot drawn outside the frame that the picture must not keep.
PicHandle RecordQuad(const World& w) {
    toolbox::SaveGWorld saved;
    SetGWorld(w.gw, nullptr);
    const OpenCPicParams params = Params(Rect{1, 1, 3, 3});
    PicHandle pic = OpenCPicture(&params);
    EXPECT_NE(pic, nullptr);
    Dot(0, 0, kBlue);
    Dot(1, 1, kRed);
    Dot(2, 1, kGreen);
    Dot(1, 2, kBlue);
    ClosePicture();
    EXPECT_EQ(w.Letters(), "....|....|....|....") << "drawn into the port while recording";
    return pic;
}

TEST(Picture, KeepsWhatIsDrawnInItsFrameAndLeavesThePortAlone) {
    World w(Rect{0, 0, 4, 4});
    const long blocks = toolbox::LivePtrCount();
    PicHandle pic = RecordQuad(w);
    ASSERT_NE(pic, nullptr);
    const Rect frame = (*pic)->picFrame, want{1, 1, 3, 3};
    EXPECT_TRUE(EqualRect(&frame, &want));
    {
        toolbox::SaveGWorld saved;
        SetGWorld(w.gw, nullptr);
        Dot(3, 3, kGreen);  // after ClosePicture the port draws into itself again
        DrawPicture(pic, &frame);
    }
    EXPECT_EQ(w.Letters(), "....|.rg.|.bw.|...g");
    KillPicture(pic);
    EXPECT_EQ(toolbox::LivePtrCount(), blocks);
}

TEST(Picture, DrawsScaledIntoAnyRectangleWithinBoundsAndClip) {
    World source(Rect{0, 0, 4, 4});
    PicHandle pic = RecordQuad(source);
    struct Case {
        Rect dst, clip;
        const char* letters;
    } cases[] = {
        {{0, 0, 4, 4}, {-99, -99, 99, 99}, "rrgg|rrgg|bbww|bbww"},
        {{0, 0, 3, 4}, {-99, -99, 99, 99}, "rrgg|rrgg|bbww|...."},
        {{0, 0, 1, 1}, {-99, -99, 99, 99}, "r...|....|....|...."},
        {{2, 2, 6, 6}, {-99, -99, 99, 99}, "....|....|..rr|..rr"},
        {{-1, -1, 1, 1}, {-99, -99, 99, 99}, "w...|....|....|...."},
        {{0, 0, 4, 4}, {0, 0, 2, 3}, "rrg.|rrg.|....|...."},
        {{2, 2, 2, 6}, {-99, -99, 99, 99}, "....|....|....|...."},
        {{3, 3, 1, 1}, {-99, -99, 99, 99}, "....|....|....|...."},
    };
    for (const Case& c : cases) {
        World w(Rect{0, 0, 4, 4});
        toolbox::SaveGWorld saved;
        SetGWorld(w.gw, nullptr);
        ClipRect(&c.clip);
        DrawPicture(pic, &c.dst);
        DrawPicture(nullptr, &c.dst);
        DrawPicture(pic, nullptr);
        EXPECT_EQ(w.Letters(), c.letters) << c.dst.top << "," << c.dst.left << "," << c.dst.bottom << "," << c.dst.right;
    }
    KillPicture(pic);
}

TEST(Picture, OneRecordingAtATimeAndEveryWayOutGivesThePortBack) {
    World w(Rect{10, 20, 12, 22});  // a world whose coordinates do not start at 0
    const long blocks = toolbox::LivePtrCount();
    toolbox::SaveGWorld saved;
    SetGWorld(w.gw, nullptr);
    const OpenCPicParams whole = Params(Rect{10, 20, 12, 22}), empty = Params(Rect{5, 5, 5, 9}),
                         inverted = Params(Rect{9, 9, 5, 5});
    EXPECT_EQ(OpenCPicture(nullptr), nullptr);
    EXPECT_EQ(OpenCPicture(&empty), nullptr);
    EXPECT_EQ(OpenCPicture(&inverted), nullptr);
    for (int failing = 1; failing <= 3; ++failing) {  // the picture's handle, then the port's scratch copy
        toolbox::ArmFault(toolbox::FaultSite::Memory, failing);
        EXPECT_EQ(OpenCPicture(&whole), nullptr) << failing;
    }
    toolbox::ArmFault(toolbox::FaultSite::Memory, 0);
    ClosePicture();  // none open: nothing
    EXPECT_EQ(toolbox::LivePtrCount(), blocks);

    PicHandle pic = OpenCPicture(&whole);
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(OpenCPicture(&whole), nullptr) << "a second picture while one is open";
    Dot(21, 10, kRed);
    DrawPicture(pic, &whole.srcRect);  // itself, while open: nothing
    KillPicture(pic);                  // ends the recording too
    Dot(20, 11, kGreen);
    EXPECT_EQ(w.Letters(), "..|g.");
    EXPECT_EQ(toolbox::LivePtrCount(), blocks);

    // A port disposed of while it records leaves a white picture and nothing dangling.
    UInt8 pixels[16] = {};
    const OpenCPicParams corner = Params(Rect{0, 0, 1, 1});
    const Rect all{10, 20, 12, 22}, small{0, 0, 2, 2};
    for (bool isWorld : {true, false}) {
        GWorldPtr gone = nullptr;
        if (isWorld)
            ASSERT_EQ(NewGWorld(&gone, 32, &small, nullptr, nullptr, 0), noErr);
        else
            gone = toolbox::NewPortForPixels(small, 8, reinterpret_cast<Ptr>(pixels));
        SetGWorld(gone, nullptr);
        pic = OpenCPicture(&corner);
        ASSERT_NE(pic, nullptr);
        Dot(0, 0, kRed);
        isWorld ? DisposeGWorld(gone) : toolbox::DisposePort(gone);
        EXPECT_FALSE(IsValidPort(gone));
        ClosePicture();
        SetGWorld(w.gw, nullptr);
        DrawPicture(pic, &all);
        EXPECT_EQ(w.Letters(), "ww|ww") << (isWorld ? "world" : "port");
        KillPicture(pic);
    }
    EXPECT_EQ(toolbox::LivePtrCount(), blocks);
}

TEST(Picture, CopyBitsIntoTheRecordingPortIsRecorded) {
    World from(Rect{0, 0, 1, 2}), to(Rect{0, 0, 2, 2});
    {
        toolbox::SaveGWorld saved;
        SetGWorld(from.gw, nullptr);
        Dot(0, 0, kRed);
        Dot(1, 0, kBlue);
        SetGWorld(to.gw, nullptr);
        const OpenCPicParams params = Params(Rect{0, 0, 2, 2});
        PicHandle pic = OpenCPicture(&params);
        Rect src{0, 0, 1, 2}, dst{1, 0, 2, 2};
        CopyBits(GetPortBitMapForCopyBits(from.gw), GetPortBitMapForCopyBits(to.gw), &src, &dst, srcCopy, nullptr);
        ClosePicture();
        EXPECT_EQ(to.Letters(), "..|..");
        DrawPicture(pic, &params.srcRect);
        KillPicture(pic);
    }
    EXPECT_EQ(to.Letters(), "ww|rb");
}

}  // namespace
