// The configuration dialog end to end through the host's button: the fixture, and the
// amount slider, the clip position, the commands, the format pop-up, Cancel and OK.
#include "ConfigDialogTest.h"

#include <cstdio>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>

#include "RenderDriver.h"
#include "dialog/CarbonMacros.h"
#include "effect/DataHandling.h"
#include "effect/PrefsLoader.h"
#include "glue/PlugInMain.h"
#include "input/EventScript.h"
#include "support/Toolbox.h"

namespace configtest {

namespace fs = std::filesystem;

using testsupport::BuiltBundle;
using testsupport::ReadText;
using testsupport::Sig;

std::string CopyBundle(const std::string& folder, const std::vector<std::string>& skip,
                       const std::function<std::string(const std::string&)>& editNib) {
    const fs::path from = BuiltBundle(), to = fs::path(folder) / "Tonefade.bundle";
    fs::create_directories(to / "Contents/Resources");
    fs::copy_file(from / "Contents/Info.plist", to / "Contents/Info.plist", fs::copy_options::overwrite_existing);
    for (const auto& entry : fs::directory_iterator(from / "Contents/Resources")) {
        const std::string name = entry.path().filename().string();
        if (std::find(skip.begin(), skip.end(), name) != skip.end()) continue;
        if (entry.path().extension() == ".nib")
            testsupport::WriteText(to / "Contents/Resources" / name, editNib(ReadText(entry.path())));
        else
            fs::copy_file(entry.path(), to / "Contents/Resources" / name, fs::copy_options::overwrite_existing);
    }
    return to.string();
}

namespace {

// Notes the dialog before each input of the script goes out.
class Probe : public toolbox::EventSource {
public:
    Probe(toolbox::EventSource& inner, std::function<void()> note) : inner_(inner), note_(std::move(note)) {}
    toolbox::InputEvent NextInput() override {
        note_();
        return inner_.NextInput();
    }

private:
    toolbox::EventSource& inner_;
    std::function<void()> note_;
};

std::string Text(WindowRef w, const char* sig, SInt16 id) {
    return toolbox::ControlTextMacRoman(SimpleGetControlByID(w, Sig(sig), id));
}

bool UnusedControlsHidden(WindowRef w) {
    for (SInt16 n = 1; n <= 6; ++n) {
        for (const char* sig : {"Sldr", "Lgnd", "Labl"})
            if (n > 1 && IsControlVisible(SimpleGetControlByID(w, Sig(sig), n))) return false;
        for (const char* sig : {"Colr", "CLgd"})
            if (IsControlVisible(SimpleGetControlByID(w, Sig(sig), n))) return false;
    }
    return true;
}

// Which clip frame the world holds, by its top-left pixel (the host scales from it).
int FrameIn(GWorldPtr world) {
    std::vector<UInt8> pixels = testsupport::WorldPixels(world);
    for (int f = 0; f < kClipFrames; ++f)
        if (std::memcmp(testsupport::PatternFrame(96, 64, f + 1).data(), pixels.data(), 4) == 0) return f;
    return -1;
}

bool PreviewRendered(const pluginWorkSpace& ws) {
    std::vector<UInt8> source = testsupport::WorldPixels(ws.sourceClip), expected(source.size());
    Rect frame;
    GetPortBounds(ws.theFXClip, &frame);
    testsupport::ReferenceTonefade(source.data(), expected.data(), frame.right, frame.bottom,
                                   Rel2Rect(ws.theConfig->startRel, frame), ws.theConfig->sliders[0]);
    return expected == testsupport::WorldPixels(ws.theFXClip);
}

// Where the preview is as large as the frame, the window shows theFXClip pixel for
// pixel away from the outline, the handles and the border.
bool WindowShowsPreview(const pluginWorkSpace& ws) {
    Rect bounds = GetControlBox(ws.theFrameCtrl), frame;
    GetPortBounds(ws.theFXClip, &frame);
    if (bounds.right - bounds.left != frame.right || bounds.bottom - bounds.top != frame.bottom) return true;
    const Rect r = Rel2Rect(ws.theConfig->startRel, frame);
    const BitMap* window = GetPortBitMapForCopyBits(GetWindowPort(ws.theWindow));
    std::vector<UInt8> fx = testsupport::WorldPixels(ws.theFXClip);
    auto near = [](int a, int b) { return std::abs(a - b) < 8; };
    for (int y = 10; y < frame.bottom - 8; y += 37)
        for (int x = 10; x < frame.right - 8; x += 41) {
            if (near(x, r.left) || near(x, r.right) || near(y, r.top) || near(y, r.bottom)) continue;
            const UInt8* shown = reinterpret_cast<UInt8*>(window->baseAddr) + (bounds.top + y) * window->rowBytes +
                                 (bounds.left + x) * 4;
            if (std::memcmp(shown, fx.data() + (std::size_t(y) * frame.right + x) * 4, 4) != 0) return false;
        }
    return true;
}

std::vector<UInt8> WindowPixels(WindowRef w) {
    Rect bounds;
    GetWindowPortBounds(w, &bounds);
    const BitMap* bits = GetPortBitMapForCopyBits(GetWindowPort(w));
    const UInt8* base = reinterpret_cast<UInt8*>(bits->baseAddr);
    return std::vector<UInt8>(base, base + std::size_t(bits->rowBytes) * std::size_t(bounds.bottom - bounds.top));
}

bool AllBlack(const std::vector<UInt8>& argb) {
    for (std::size_t i = 0; i < argb.size(); i += 4)
        if (argb[i + 1] | argb[i + 2] | argb[i + 3]) return false;
    return true;
}

}  // namespace

DialogState ConfigDialogTest::Note() {
    DialogState s;
    s.record = *gEffectData;
    s.getFrameCalls = session->Counters().getFrameCalls;
    WindowRef front = FrontWindow();
    if (front) s.front = toolbox::WindowName(front), s.refCon = GetWRefCon(front);
    if (s.front == "about") s.aboutTexts = Text(front, "Plug", 1) + "|" + Text(front, "Vers", 1);
    const pluginWorkSpace& ws = gConfigWorkSpace;
    // A window of an earlier session may have left its address to another window since.
    if (!toolbox::IsLiveWindow(ws.theWindow) || toolbox::WindowName(ws.theWindow).rfind("config", 0) != 0) return s;
    s.previewValue = GetControl32BitValue(ws.theFrameCtrl);
    s.legend1 = Text(ws.theWindow, "Lgnd", 1);
    s.clipText = Text(ws.theWindow, "ClpM", 1);
    s.clipValue = GetControl32BitValue(ws.clipSlider);
    s.popupValue = SimpleGetControlValueByID(ws.theWindow, Sig("Medi"), 1);
    s.unusedHidden = UnusedControlsHidden(ws.theWindow);
    s.sourceFrame = FrameIn(ws.sourceClip);
    s.sourceBlack = AllBlack(testsupport::WorldPixels(ws.sourceClip));
    GetPortBounds(ws.sourceClip, &s.sourceBounds);
    s.windowPixels = WindowPixels(ws.theWindow);
    if (checkRendering) s.previewRendered = PreviewRendered(ws), s.windowShowsPreview = WindowShowsPreview(ws);
    if (onStep) onStep(front);
    return s;
}

void ConfigDialogTest::SetUp() {
    testsupport::PluginTest::SetUp();
    std::string error;
    ASSERT_NE(toolbox::RegisterBundle(BuiltBundle(), &error), nullptr) << error;
    ASSERT_TRUE(fs::exists(BuiltBundle() + "/Contents/Resources/tonefade.nib")) << "build TonefadeBundle first";
    worldsAtStart = toolbox::LiveGWorldCount();
    clip = std::make_unique<host::MemoryClip>(testsupport::PatternClip(96, 64, kClipFrames));
    session = std::make_unique<host::HostSession>(*clip, 96, 64);
    ASSERT_EQ(host::CallPlugin(PlugInMain, *session, kPlugGetInfo), kPluginOK);
    ASSERT_NE(gEffectData, nullptr);
    scratch = (prefsDir / "scratch").string();
    fs::create_directories(scratch);
}

void ConfigDialogTest::TearDown() {
    session.reset();
    clip.reset();
    EXPECT_EQ(toolbox::LiveWindowCount(), 0);
    EXPECT_EQ(toolbox::LiveGWorldCount(), worldsAtStart);
    testsupport::PluginTest::TearDown();
}

void ConfigDialogTest::Press(const std::string& script, int frame, const std::function<void()>& beforeButton) {
    toolbox::ScriptError error;
    auto source = toolbox::ScriptedEventSource::FromText(script, scratch, &error);
    ASSERT_NE(source, nullptr) << error.Describe();
    host::PassOptions pass;
    pass.start = frame;
    pass.count = 1;
    testsupport::DiscardSink sink;
    ASSERT_TRUE(host::RunRenderPass(PlugInMain, *session, pass, sink).ok());
    if (beforeButton) beforeButton();
    Probe probe(*source, [this] { steps.push_back(Note()); });
    {
        toolbox::ScopedEventSource scope(&probe);
        toolbox::SetAlertPresenter([this](const toolbox::StandardAlert& alert) {
            alerts.push_back(alert);
            // Also on standard error: an alert that ends the process leaves its trace there.
            std::fprintf(stderr, "[alert] %s\n%s\n", alert.headline.c_str(), alert.text.c_str());
            std::fflush(stderr);
            return toolbox::PresentAlertInWindow(alert);
        });
        session->Params().renderFrame = frame;
        EXPECT_EQ(host::CallPlugin(PlugInMain, *session, kPlugCustomButtonClick), kPluginOK);
    }
    EXPECT_FALSE(source->Failed()) << source->Error().Describe();
    // The dialog leaves no preview world and no registered classes behind.
    EXPECT_EQ(gConfigWorkSpace.theFXClip, nullptr);
    EXPECT_EQ(toolbox::FindToolboxObjectClass("com.qorvel.lumiset.clip"), nullptr);
    EXPECT_EQ(toolbox::FindToolboxObjectClass("com.qorvel.lumiset.color"), nullptr);
}

namespace {


TEST_F(ConfigDialogTest, Slider1WritesEveryValueWithItsLegendAndRendersEachStep) {
    const SInt16 unused[6] = {0, 11, 22, 33, 44, 55};
    std::copy(unused, unused + 6, Record().sliders);
    checkRendering = true;
    // A person cannot reach the hidden slider 2 and colour box 1 where the nib puts them.
    Press("slider Sldr 1 37\ndrag 830 292 900 292\nclick 768 424\ncommand \"ok  \"\n");
    std::vector<SInt16> values;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const DialogState& s = steps[i];
        SCOPED_TRACE("step " + std::to_string(i));
        EXPECT_EQ(s.legend1, std::to_string(s.record.sliders[0]) + "%");
        EXPECT_EQ(std::vector<SInt16>(s.record.sliders + 1, s.record.sliders + 6), std::vector<SInt16>({11, 22, 33, 44, 55}));
        EXPECT_TRUE(s.unusedHidden);
        EXPECT_TRUE(s.previewRendered);
        EXPECT_TRUE(s.windowShowsPreview);
        if (values.empty() || values.back() != s.record.sliders[0]) {
            if (!values.empty()) {
                EXPECT_NE(s.previewValue, steps[i - 1].previewValue) << "preview not redrawn";
            }
            values.push_back(s.record.sliders[0]);
        }
    }
    std::vector<SInt16> expected(38);
    std::iota(expected.begin(), expected.end(), SInt16(0));
    EXPECT_EQ(values, expected);
    pluginDataRec saved{};
    ASSERT_TRUE(ReadConfig(&saved));
    EXPECT_EQ(saved.sliders[0], 37);
}

struct ClipCase {
    const char* script;
    const char* clipText;  // 'ClpM' 1 when the script has run
    int frame;             // the clip frame in the preview
    bool changesNothingLast;  // the last command fetches, draws and writes nothing
};

class ClipPositionTest : public ConfigDialogTest, public ::testing::WithParamInterface<ClipCase> {};

TEST_P(ClipPositionTest, StepsAndReadsLikePositionSlashLast) {
    Press(GetParam().script);
    const DialogState& end = Last();  // the script's end, the dialog still open
    EXPECT_EQ(end.clipText, GetParam().clipText);
    EXPECT_EQ(end.sourceFrame, GetParam().frame);
    if (!GetParam().changesNothingLast) return;
    const DialogState& before = steps[steps.size() - 3];  // before the last command's click
    EXPECT_EQ(end.getFrameCalls, before.getFrameCalls);
    EXPECT_EQ(end.previewValue, before.previewValue);
    EXPECT_EQ(end.clipText, before.clipText);
    EXPECT_TRUE(end.windowPixels == before.windowPixels) << "the window was drawn differently";
}

INSTANTIATE_TEST_SUITE_P(Commands, ClipPositionTest,
                         ::testing::Values(ClipCase{"slider ClpS 1 12\n", "12/249", 12, false},
                                           ClipCase{"slider ClpS 1 12\ncommand Adva\n", "13/249", 13, false},
                                           ClipCase{"slider ClpS 1 12\ncommand Revi\ncommand Revi\n", "10/249", 10, false},
                                           ClipCase{"command Revi\n", "0/249", 0, true},
                                           ClipCase{"slider ClpS 1 249\ncommand Adva\n", "249/249", 249, true}));

TEST_F(ConfigDialogTest, WholeFrameAndResetKeepTheWindowAndThePopup) {
    Record().mediaType = kMediaPAL;
    Record().sliders[0] = 30;
    Record().startRel = relRect{0.25, 0.75, 0.25, 0.75};
    Record().frameEndColor = RGBColor{1, 2, 3};
    pluginDataRec reset = Record();
    ResetConfig(&reset);
    checkRendering = true;
    Press("command Sall\ncommand Rset\n");
    const DialogState& afterSall = steps[2], &end = Last();
    EXPECT_EQ(std::memcmp(&afterSall.record.startRel, &reset.startRel, sizeof(relRect)), 0);
    EXPECT_EQ(afterSall.record.sliders[0], 30);
    EXPECT_EQ(std::memcmp(&end.record, &reset, sizeof reset), 0);
    EXPECT_EQ(end.front, "configPAL");
    EXPECT_EQ(end.popupValue, kMediaPAL);
    EXPECT_EQ(end.legend1, "0%");
    EXPECT_TRUE(end.previewRendered);
}

TEST_F(ConfigDialogTest, AnotherFormatReopensItsLayoutWithTheEditsAndTheSameFormatDoesNothing) {
    onStep = [](WindowRef front) {
        if (toolbox::WindowName(front) == "configHD" && GetWRefCon(front) == 0) SetWRefCon(front, 77);
    };
    Press("slider Sldr 1 40\nslider ClpS 1 12\ndrag 300 200 340 230 4\npopup Medi 1 HD\npopup Medi 1 HD\n");
    const DialogState& end = Last();
    EXPECT_EQ(end.front, "configHD");
    EXPECT_EQ(end.refCon, 77) << "the HD window was opened again";
    EXPECT_EQ(end.record.mediaType, kMediaHD);
    EXPECT_EQ(end.popupValue, kMediaHD);
    EXPECT_EQ(end.legend1, "40%");
    EXPECT_EQ(end.clipText, "12/249");
    EXPECT_EQ(end.clipValue, 12);
    EXPECT_EQ(end.sourceFrame, 12);
    EXPECT_NE(std::memcmp(&end.record.startRel, &steps[0].record.startRel, sizeof(relRect)), 0);
}

TEST_F(ConfigDialogTest, CancelRestoresTheRecordByteForByte) {
    Record().mediaType = kMediaPAL;
    Record().sliders[0] = 20;
    Record().startRel = relRect{0.1, 0.6, 0.2, 0.7};
    Record().frameEndColor = RGBColor{9, 8, 7};
    ASSERT_TRUE(SaveConfig(&Record()));
    const pluginDataRec before = Record();
    const std::string prefs = ReadText(prefsDir / "vardo-Prefs");
    Press("popup Medi 1 HD\nslider Sldr 1 80\ndrag 300 200 340 230 4\ncommand Rset\ncommand \"not!\"\n");
    EXPECT_NE(std::memcmp(&Last().record, &before, sizeof before), 0);
    EXPECT_EQ(std::memcmp(&Record(), &before, sizeof before), 0);
    EXPECT_EQ(ReadText(prefsDir / "vardo-Prefs"), prefs);
}

TEST_F(ConfigDialogTest, OKSavesAndTheNextRenderUsesTheSettings) {
    Press("slider Sldr 1 70\ndrag 16 16 196 136 6 option\ncommand \"ok  \"\n");
    ASSERT_EQ(Record().sliders[0], 70);
    pluginDataRec saved{};
    ASSERT_TRUE(ReadConfig(&saved));
    EXPECT_EQ(std::memcmp(&saved, &Record(), sizeof saved), 0);

    testsupport::CollectingSink rendered;
    host::PassOptions pass;
    pass.count = 3;
    ASSERT_TRUE(host::RunRenderPass(PlugInMain, *session, pass, rendered).ok());
    const Rect centre = Rel2Rect(saved.startRel, Rect{0, 0, 64, 96});
    EXPECT_EQ(centre.left, 24);
    EXPECT_EQ(centre.bottom, 48);
    for (int f = 0; f < 3; ++f) {
        std::vector<UInt8> source = clip->Pixels(f), expected(source.size());
        testsupport::ReferenceTonefade(source.data(), expected.data(), 96, 64, centre, 70);
        EXPECT_EQ(rendered.frames[std::size_t(f)], expected) << "frame " << f;
    }
}

struct FormatCase {
    SInt16 mediaType;
    bool hostDeliversFrame;
    const char* window;
    SInt16 width, height;
};

class FormatTest : public ConfigDialogTest, public ::testing::WithParamInterface<FormatCase> {};

// Without a frame from the host the dialog still opens, on black of the format's size.
TEST_P(FormatTest, OpensTheLayoutOnAFrameOfTheFormatsSize) {
    Record().mediaType = GetParam().mediaType;
    Press("", 3, [&] { session->Faults().getFrameGivesNoWorld = !GetParam().hostDeliversFrame; });
    const DialogState& open = steps.front();
    EXPECT_EQ(open.front, GetParam().window);
    EXPECT_EQ(open.sourceBounds.right, GetParam().width);
    EXPECT_EQ(open.sourceBounds.bottom, GetParam().height);
    EXPECT_EQ(open.sourceFrame, GetParam().hostDeliversFrame ? 3 : -1);
    EXPECT_EQ(open.sourceBlack, !GetParam().hostDeliversFrame);
    EXPECT_EQ(open.clipText, "0/249");
}

INSTANTIATE_TEST_SUITE_P(MediaTypes, FormatTest,
                         ::testing::Values(FormatCase{kMediaNTSC, true, "configNTSC", 720, 480},
                                           FormatCase{kMediaPAL, true, "configPAL", 720, 576},
                                           FormatCase{kMediaHD, true, "configHD", 960, 540},
                                           FormatCase{7, true, "configNTSC", 720, 480},
                                           FormatCase{kMediaPAL, false, "configPAL", 720, 576},
                                           FormatCase{kMediaHD, false, "configHD", 960, 540}));

}  // namespace
}  // namespace configtest
