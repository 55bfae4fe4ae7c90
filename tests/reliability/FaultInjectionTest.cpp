// Every allocation that a call makes is made to fail in turn, one at a time: first the
// memory blocks (the host's NewPtrClear and the toolbox's own), then the offscreen worlds.
// For each point the plug-in must give the result code its interface promises (or end the
// process with its assertion alert where that is the promise), draw nothing it should not,
// and leave nothing behind. Each test prints its table of points and outcomes.
#include <cstdio>
#include <cstring>
#include <functional>

#include "Carbon.h"
#include "RenderDriver.h"
#include "effect/DataHandling.h"
#include "effect/PrefsLoader.h"
#include "glue/PlugInMain.h"
#include "reliability/ReliabilitySupport.h"
#include "support/PluginTestSupport.h"

namespace {

using reliability::AllocationPlace;
using reliability::AllocationTrace;
using toolbox::FaultSite;

constexpr int W = 16, H = 12, kFrames = 8, kFade = 3;

const char* SiteName(FaultSite site) { return site == FaultSite::Memory ? "memory" : "NewGWorld"; }

struct Row {
    const char* site;
    int index;
    std::string where, expected, got, problems;
};

void PrintTable(const std::string& title, const std::vector<Row>& rows) {
    int survived = 0;
    for (const Row& r : rows) survived += r.problems.empty();
    std::printf("\nFault injection: %s: %zu points, %d survived\n", title.c_str(), rows.size(), survived);
    if (rows.empty()) {
        std::printf("  (no allocation of this kind is made)\n");
        return;
    }
    std::printf("  %-9s %3s  %-58s %-42s %s\n", "site", "#", "failing allocation", "expected", "outcome");
    for (const Row& r : rows)
        std::printf("  %-9s %3d  %-58s %-42s %s%s\n", r.site, r.index, r.where.c_str(), r.expected.c_str(),
                    r.got.c_str(), r.problems.empty() ? "" : ("  FAILED: " + r.problems).c_str());
    std::fflush(stdout);
}

using testsupport::SameSettings;

// Settings unlike the defaults in every field that the effect reads.
pluginDataRec Saved() { return testsupport::SettingsWith(60, relRect{0.25, 0.75, 0.125, 0.875}, kMediaPAL); }

bool IsHostAllocation(const AllocationPlace& place) { return place.phase.callback.rfind("host NewPtrClear", 0) == 0; }

// One kind of call under injection. `prepare` brings the plug-in to the state before the
// call; `run` makes it and names the outcome; `expect` names the outcome the interface
// promises when the given allocation fails ("" for a place nobody foresaw); `check`
// returns what else went wrong; `extraHostBlocks` is what the call may rightly keep.
struct Scenario {
    std::function<void()> prepare;
    std::function<std::string()> run;
    std::function<std::string(const AllocationPlace&, FaultSite)> expect;
    std::function<std::string(bool injected)> check;
    std::function<bool(const AllocationPlace&, FaultSite)> fatal = [](const AllocationPlace&, FaultSite) {
        return false;
    };
    // What the allocation is for, where the place alone does not say it.
    std::function<std::string(const AllocationPlace&)> role = [](const AllocationPlace&) { return std::string(); };
    long extraHostBlocks = 0;
};

class FaultInjection : public testsupport::PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        trace = std::make_unique<AllocationTrace>(session);
    }
    void TearDown() override {
        toolbox::ArmFault(FaultSite::Memory, 0);
        toolbox::ArmFault(FaultSite::GWorld, 0);
        trace.reset();
        CloseStrings();
        PluginTest::TearDown();
    }

    HYPluginResult Call(HYPluginSelector selector) { return host::CallPlugin(&AllocationTrace::Entry, session, selector); }

    // A fresh plug-in whose first call has been made, with the saved settings.
    void FreshAndLoaded() {
        ResetPlugInForTesting(host::HostDisposePtrProc());
        pluginDataRec saved = Saved();
        ASSERT_TRUE(SaveConfig(&saved));
        ASSERT_EQ(Call(kPlugDrawIcon), kPluginOK);
        ASSERT_TRUE(SameSettings(*gEffectData, saved));
        testsupport::FillWorld(session.Target(), testsupport::PatternFrame(W, H, 99));
        session.Params().clientData = nullptr;
    }

    // Runs the scenario once without faults to find the points, then once per point.
    std::vector<Row> Inject(Scenario& s, FaultSite site) {
        s.prepare();
        trace->Restart();
        EXPECT_EQ(s.run(), "kPluginOK") << "the run without faults";
        const int points = toolbox::FaultSiteCalls(site);
        std::vector<AllocationPlace> places;
        for (int k = 1; k <= points; ++k) places.push_back(trace->Place(site, k));
        std::string cleanProblems = s.check(false);
        EXPECT_EQ(cleanProblems, "") << "the run without faults";
        std::vector<Row> rows;
        for (int k = 1; k <= points; ++k) rows.push_back(InjectAt(s, site, k, places[std::size_t(k - 1)]));
        for (const Row& r : rows) EXPECT_EQ(r.problems, "") << SiteName(site) << " #" << r.index << " " << r.where;
        return rows;
    }

    Row InjectAt(Scenario& s, FaultSite site, int k, const AllocationPlace& place) {
        const std::string role = place.phase.callback.empty() ? s.role(place) : "";
        Row row{SiteName(site), k, place.Describe() + (role.empty() ? "" : " (" + role + ")"), "", "", ""};
        s.prepare();
        if (s.fatal(place, site)) return InjectFatal(s, site, k, row);
        row.expected = s.expect(place, site);
        const reliability::Holdings before = reliability::Holdings::Now();
        trace->Restart();
        toolbox::ArmFault(site, k);
        row.got = s.run();
        toolbox::ArmFault(site, 0);
        if (row.expected.empty()) row.problems += "a place nobody foresaw; ";
        else if (row.got != row.expected) row.problems += "wrong outcome; ";
        row.problems += s.check(true);
        row.problems += before.Compare(reliability::Holdings::Now(), s.extraHostBlocks);
        if (session.OutstandingFrames() != 0) row.problems += "frames not released; ";
        if (GetPixelsState(GetGWorldPixMap(session.Target())) != 0) row.problems += "target left locked; ";
        return row;
    }

    // The process must end with the assertion alert; checked in a child process.
    Row InjectFatal(Scenario& s, FaultSite site, int k, Row row) {
        row.expected = "ends with \"Assertion Failure\"";
        const int failuresBefore = FailureCount();
        EXPECT_EXIT(
            {
                toolbox::ArmFault(site, k);
                s.run();
            },
            ::testing::ExitedWithCode(toolbox::kExitToShellStatus),
            "Assertion Failure: Assertion failed in: Unable to allocate new data structure\n");
        const bool ended = FailureCount() == failuresBefore;
        row.got = ended ? row.expected : "did not end as it should";
        if (!ended) row.problems = "no assertion alert";
        return row;
    }

    static int FailureCount() {
        const ::testing::TestResult* r = ::testing::UnitTest::GetInstance()->current_test_info()->result();
        int failed = 0;
        for (int i = 0; i < r->total_part_count(); ++i) failed += r->GetTestPartResult(i).failed();
        return failed;
    }

    // The host's texts, in a resource file opened afresh so that they are loaded again.
    void OpenStrings() {
        CloseStrings();
        const std::string path = (prefsDir / "strings.rsrc").string();
        if (!std::filesystem::exists(path))
            CloseResFile(testsupport::OpenStringListFile(path, {{128, {"Amount", "Unused", "Unused"}},
                                                                {129, {"0", "100", "lo", "hi", "lo", "hi"}},
                                                                {130, {"Settings..."}},
                                                                {17000, {"Qorvel"}}}));
        FSSpec fileSpec;
        toolbox::PathToFSSpec(path, &fileSpec);
        strings = FSpOpenResFile(&fileSpec, fsRdPerm);
        ASSERT_GT(strings, 0);
    }
    void CloseStrings() {
        if (strings > 0) CloseResFile(strings);
        strings = -1;
    }

    host::MemoryClip clip = testsupport::PatternClip(W, H, kFrames, 4);
    host::HostSession session{clip, W, H};
    std::unique_ptr<AllocationTrace> trace;
    ResFileRefNum strings = -1;
};

using FaultInjectionDeathTest = FaultInjection;

// --- The first call: the master record and the preferences file ---------------------------

TEST_F(FaultInjectionDeathTest, FirstCallMasterRecordAndPreferences) {
    const pluginDataRec saved = Saved(), defaults = testsupport::DefaultSettings();
    Scenario s;
    s.prepare = [&] {
        ResetPlugInForTesting(host::HostDisposePtrProc());
        ASSERT_TRUE(SaveConfig(const_cast<pluginDataRec*>(&saved)));
    };
    s.run = [&] { return std::string(host::ResultName(Call(kPlugDrawIcon))); };
    s.fatal = [](const AllocationPlace& place, FaultSite) { return IsHostAllocation(place); };
    s.expect = [](const AllocationPlace&, FaultSite) { return std::string("kPluginOK"); };
    s.check = [&](bool) {
        std::string problems;
        if (gEffectData == nullptr) return std::string("no master record; ");
        // Reading fails whole or succeeds whole; saving leaves the old record or the new.
        const bool gotSaved = SameSettings(*gEffectData, saved), gotDefaults = SameSettings(*gEffectData, defaults);
        if (!gotSaved && !gotDefaults) problems += "master record is neither saved nor defaults; ";
        pluginDataRec stored{};
        if (!ReadConfig(&stored)) return problems + "preferences file unreadable afterwards; ";
        if (!SameSettings(stored, saved) && !(gotDefaults && SameSettings(stored, defaults)))
            problems += "preferences file holds a record it should not; ";
        return problems;
    };
    s.role = [](const AllocationPlace&) { return std::string("preferences file"); };
    s.extraHostBlocks = 1;  // the master record, kept while the plug-in is loaded
    std::vector<Row> rows = Inject(s, FaultSite::Memory);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front().expected, "ends with \"Assertion Failure\"") << "the master record comes first";
    PrintTable("first call (master record, preferences read and saved)", rows);
    std::vector<Row> worlds = Inject(s, FaultSite::GWorld);
    PrintTable("first call, offscreen worlds", worlds);
}

// --- kPlugGetInfo ------------------------------------------------------------------------

TEST_F(FaultInjection, GetInfo) {
    HYPluginParams& p = session.Params();
    Scenario s;
    s.prepare = [&] {
        FreshAndLoaded();
        OpenStrings();
        p.getInfo.pluginFlags = 0;
        std::memset(&p.getInfo2.filterSliders, 0x7F, sizeof p.getInfo2.filterSliders);
    };
    s.run = [&] { return std::string(host::ResultName(Call(kPlugGetInfo))); };
    s.role = [](const AllocationPlace&) { return std::string("string lists"); };
    s.expect = [](const AllocationPlace&, FaultSite) { return std::string("kPluginOK"); };
    s.check = [&](bool) {
        std::string problems;
        if (p.getInfo.pluginType != kPluginFilterType || p.getInfo.pluginFlags != 0x1380)
            problems += "type or flags wrong; ";
        if (p.getInfo.framesToBeRendered != kFrames || p.getInfo.takeFromClipAfter != kFrames)
            problems += "frame counts wrong; ";
        // A text that could not be loaded may be empty, but every field must be a string.
        for (const auto& slider : p.getInfo2.filterSliders)
            for (const char* field : {slider.label, slider.minLabel, slider.maxLabel})
                if (strnlen(field, 128) == 128) problems += "a slider text is not terminated; ";
        if (strnlen(p.getInfo3.buttonTitle, 32) == 32 || strnlen(p.getInfo2.group, 128) == 128)
            problems += "button title or group not terminated; ";
        // The lists stay loaded in their file until released; released, nothing may remain.
        for (SInt16 id : {128, 129, 130, 17000})
            if (Handle list = GetResource(kStringListResourceType, id)) ReleaseResource(list);
        return problems;
    };
    std::vector<Row> rows = Inject(s, FaultSite::Memory);
    PrintTable("kPlugGetInfo (texts from the string lists)", rows);
    std::vector<Row> worlds = Inject(s, FaultSite::GWorld);
    PrintTable("kPlugGetInfo, offscreen worlds", worlds);
}

// --- A whole render pass with fades ---------------------------------------------------------

// Inside a fade the plug-in makes the unprocessed copy first and then its scratch world.
std::string FrameWorldRole(const AllocationPlace& place) {
    if (place.phase.selector != kPlugDoFrame && place.phase.selector != kPlugFilePlaceHolder) return "";
    return place.ranks == 2 && place.rank == 1 ? "unprocessed copy" : "scratch world";
}

std::string PassOutcome(const host::PassResult& r) {
    std::string text = host::ResultName(r.result);
    if (r.result == kPluginOK) return text;
    text += std::string(" at ") + r.selector;
    if (r.failedFrame >= 0) text += " frame " + std::to_string(r.failedFrame);
    return text;
}

// What the pass must answer when the given allocation fails: the host's own failures come
// back unchanged; of the plug-in's, the unprocessed copy of a fade frame (the first of
// two worlds) gives kPluginFailed and the scratch world kPluginOutOfMemory.
std::string ExpectedPassOutcome(const AllocationPlace& place, FaultSite site) {
    const auto& phase = place.phase;
    if (site == FaultSite::Memory) {
        if (phase.selector == kPlugInitialize && place.phase.callback.rfind("host NewPtrClear", 0) == 0)
            return "kPluginOutOfMemory at kPlugInitialize";
        return "";
    }
    if (phase.selector != kPlugDoFrame) return "";
    const std::string at = " at kPlugDoFrame frame " + std::to_string(phase.frame);
    if (phase.callback == "host GetFrame") return "kPluginOutOfMemory" + at;
    if (!phase.callback.empty()) return "";
    if (place.ranks == 2 && place.rank == 1) return "kPluginFailed" + at;
    return "kPluginOutOfMemory" + at;
}

TEST_F(FaultInjection, RenderPassWithFades) {
    host::PassOptions options;
    options.fadeIn = options.fadeOut = kFade;
    testsupport::CollectingSink sink;
    std::vector<std::vector<UInt8>> clean;
    host::PassResult result;
    Scenario s;
    s.prepare = [&] {
        FreshAndLoaded();
        sink.frames.clear();
    };
    s.run = [&] {
        result = host::RunRenderPass(&AllocationTrace::Entry, session, options, sink);
        return PassOutcome(result);
    };
    s.expect = ExpectedPassOutcome;
    s.role = FrameWorldRole;
    s.check = [&](bool injected) {
        std::string problems;
        if (!injected) {
            clean = sink.frames;
            return std::string(clean.size() == kFrames ? "" : "the clean pass fell short; ");
        }
        // Frames before the failure are exactly those of the clean pass, and the failing
        // frame draws nothing: the target still holds the last good frame.
        for (std::size_t i = 0; i < sink.frames.size(); ++i)
            if (sink.frames[i] != clean[i]) problems += "frame " + std::to_string(i) + " differs; ";
        const std::vector<UInt8> last =
            sink.frames.empty() ? testsupport::PatternFrame(W, H, 99) : sink.frames.back();
        if (result.result != kPluginOK && testsupport::WorldPixels(session.Target()) != last)
            problems += "the failing frame drew into the target; ";
        if (session.Params().clientData != nullptr) problems += "data block left in the block; ";
        return problems;
    };
    std::vector<Row> rows = Inject(s, FaultSite::Memory);
    PrintTable("render pass, 8 frames, fade-in 3 and fade-out 3", rows);
    std::vector<Row> worlds = Inject(s, FaultSite::GWorld);
    PrintTable("render pass, offscreen worlds", worlds);
}

// --- kPlugFilePlaceHolder ----------------------------------------------------------------------

TEST_F(FaultInjection, PlaceHolder) {
    HYPluginParams& p = session.Params();
    std::vector<UInt8> before;
    Scenario s;
    s.prepare = [&] {
        FreshAndLoaded();
        session.FilterInfo().fadeInFrames = kFade;
        p.getInfo.bestThumbOffset = 1;  // inside the fade-in: both of the plug-in's worlds
        p.renderFrame = 5;
        before = testsupport::WorldPixels(session.Target());
    };
    s.run = [&] { return std::string(host::ResultName(Call(kPlugFilePlaceHolder))); };
    s.role = FrameWorldRole;
    // A failing start is reported; the frame step's result never is (it draws nothing).
    s.expect = [](const AllocationPlace& place, FaultSite site) {
        if (site == FaultSite::Memory) return std::string(IsHostAllocation(place) ? "kPluginOutOfMemory" : "");
        return std::string("kPluginOK");
    };
    s.check = [&](bool injected) {
        std::string problems;
        if (p.clientData != nullptr || p.renderFrame != 5 || p.selector != kPlugFilePlaceHolder)
            problems += "the host's block was changed; ";
        const bool drew = testsupport::WorldPixels(session.Target()) != before;
        if (injected && drew) problems += "drew although an allocation failed; ";
        if (!injected && !drew) problems += "the clean placeholder drew nothing; ";
        return problems;
    };
    std::vector<Row> rows = Inject(s, FaultSite::Memory);
    PrintTable("kPlugFilePlaceHolder (thumb frame inside the fade-in)", rows);
    std::vector<Row> worlds = Inject(s, FaultSite::GWorld);
    PrintTable("kPlugFilePlaceHolder, offscreen worlds", worlds);
}

}  // namespace
