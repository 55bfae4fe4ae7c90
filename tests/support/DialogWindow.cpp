// The configuration dialog's window, set up but not run.
#include "support/DialogWindow.h"

#include <random>
#include <stdexcept>

#include "dialog/ClipCtrl.h"
#include "dialog/ColorCtrl.h"
#include "dialog/ConfigDlgHandler.h"
#include "effect/CommonProcs.h"
#include "effect/CommonProcsText.h"
#include "effect/DataHandling.h"
#include "support/Files.h"

namespace testsupport {

namespace {

void FillWithNoise(GWorldPtr world, int width, int height) {
    PixMapHandle pm = GetGWorldPixMap(world);
    std::mt19937 gen(7);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<UInt32*>(GetPixBaseAddr(pm) + std::ptrdiff_t(y) * GetPixRowBytes(pm));
        for (int x = 0; x < width; ++x) row[x] = gen() | 0xFF;
    }
}

}  // namespace

pluginDataRec HDSettings(relRect rect) {
    pluginDataRec config{};
    ResetConfig(&config);
    config.sliders[0] = 100;
    config.mediaType = kMediaHD;
    config.startRel = rect;
    return config;
}

DialogWindow::DialogWindow(pluginDataRec& config, int clipWidth, int clipHeight) {
    std::string error;
    if (!toolbox::RegisterBundle(BuiltBundle(), &error)) throw std::runtime_error(error);
    pluginWorkSpace& ws = gConfigWorkSpace;
    ws = pluginWorkSpace{};
    ws.theConfig = gTheConfig = &config;
    ws.sourceClip = AllocateGWorld(clipWidth, clipHeight);
    ws.theFXClip = AllocateGWorld(clipWidth, clipHeight);
    ws.maxFrameIndex = 249;
    ws.activeRel = 1;
    FillWithNoise(ws.sourceClip, clipWidth, clipHeight);
    RegisterColorBox();
    RegisterClipCtrl();
    window = OpenNibWindowFromCFBundle(cBundleIdentifier, cNibName, ConfigWindowName(config.mediaType));
    if (window == nullptr) throw std::runtime_error("cannot open the dialog's window");
    SetupDialog(window, &config);
}

DialogWindow::~DialogWindow() {
    DisposeWindow(window);
    UnregisterClipCtrl();
    UnregisterColorBox();
    DisposeGWorld(gConfigWorkSpace.sourceClip);
    DisposeGWorld(gConfigWorkSpace.theFXClip);
    gConfigWorkSpace.sourceClip = gConfigWorkSpace.theFXClip = nullptr;
}

}  // namespace testsupport
