// Hosts call frei0r instances from several threads: four instances at once, one instance
// from two threads in turn, and one instance from two threads at once (as MLT's slices
// do) must each give the pixels the instance gives alone.
#include <gtest/gtest.h>

#include <condition_variable>
#include <latch>
#include <thread>

#include "Frei0rPlugin.h"
#include "effect/PrefsLoader.h"
#include "support/Files.h"

namespace {

constexpr int kW = 181, kH = 97, kFrames = 12;

using Frames = std::vector<std::vector<uint32_t>>;

struct Setting {
    double values[8];  // amount, rectangle, fade-in, fade-out, clip length
};
const Setting kSettings[4] = {
    {{0.37, 0.1, 0.2, 0.8, 0.9, 0.1, 0.1, 0.48}},
    {{1.5, 0.0, 0.0, 1.0, 1.0, 0.0, 0.0, 0.0}},
    {{-0.5, 0.3, 0.1, 0.7, 0.95, 0.2, 0.0, 0.48}},
    {{1.0, 0.45, 0.45, 0.55, 0.55, 0.0, 0.2, 0.48}},
};

class Frei0rThreads : public ::testing::Test {
protected:
    void SetUp() override {
        toolbox::SetPreferencesFolder(prefs.path().string());  // empty: the defaults
        for (int f = 0; f < kFrames; ++f) input.push_back(frei0rtest::RandomFrame(kW, kH, 100 + f));
    }
    void TearDown() override { toolbox::SetPreferencesFolder(""); }

    void* NewInstance(const Setting& setting) {
        void* instance = plugin.construct(kW, kH);
        for (int i = 0; instance && i < 8; ++i) plugin.Set(instance, i, setting.values[i]);
        return instance;
    }
    std::vector<uint32_t> RenderFrame(void* instance, int f) { return plugin.Render(instance, f * 0.04, input[f]); }
    Frames RenderAll(void* instance) {
        Frames out;
        for (int f = 0; f < kFrames; ++f) out.push_back(RenderFrame(instance, f));
        return out;
    }

    testsupport::TempFolder prefs;
    frei0rtest::Plugin plugin;
    Frames input;
};

TEST_F(Frei0rThreads, FourInstancesAtOnceGiveWhatEachGivesAlone) {
    Frames alone[4], together[4];
    void* instances[4];
    for (int i = 0; i < 4; ++i) {
        instances[i] = NewInstance(kSettings[i]);
        ASSERT_TRUE(instances[i]);
        alone[i] = RenderAll(instances[i]);
    }
    for (int round = 0; round < 5; ++round) {
        std::latch start(4);
        std::vector<std::thread> threads;
        for (int i = 0; i < 4; ++i)
            threads.emplace_back([&, i] {
                start.arrive_and_wait();
                together[i] = RenderAll(instances[i]);
            });
        for (auto& t : threads) t.join();
        for (int i = 0; i < 4; ++i) EXPECT_TRUE(together[i] == alone[i]) << "instance " << i << ", round " << round;
    }
    for (void* instance : instances) plugin.destruct(instance);
}

TEST_F(Frei0rThreads, OneInstanceFromTwoThreadsInTurnGivesWhatItGivesAlone) {
    void* instance = NewInstance(kSettings[0]);
    ASSERT_TRUE(instance);
    const Frames alone = RenderAll(instance);
    Frames turns(kFrames);
    std::mutex lock;
    std::condition_variable changed;
    int next = 0;
    auto take = [&](int parity) {
        for (int f = parity; f < kFrames; f += 2) {
            std::unique_lock<std::mutex> wait(lock);
            changed.wait(wait, [&] { return next == f; });
            wait.unlock();
            turns[f] = RenderFrame(instance, f);
            wait.lock();
            ++next;
            changed.notify_all();
        }
    };
    std::thread even(take, 0), odd(take, 1);
    even.join();
    odd.join();
    EXPECT_TRUE(turns == alone);
    plugin.destruct(instance);
}

TEST_F(Frei0rThreads, OneInstanceFromTwoThreadsAtOnceGivesWhatItGivesAlone) {
    void* instance = NewInstance(kSettings[2]);
    ASSERT_TRUE(instance);
    const Frames alone = RenderAll(instance);
    for (int round = 0; round < 10; ++round) {
        Frames first, second;
        std::latch start(2);
        auto both = [&](Frames* out) {
            start.arrive_and_wait();
            *out = RenderAll(instance);
        };
        std::thread a(both, &first), b(both, &second);
        a.join();
        b.join();
        EXPECT_TRUE(first == alone && second == alone) << "round " << round;
    }
    plugin.destruct(instance);
}

}  // namespace
