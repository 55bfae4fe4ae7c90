// Gives every test program the build and source folders, whether it runs under CTest
// or by hand: the environment wins, the folders of this build are the fallback. The
// tests drive windows by script; without a display no live window opens and waits.
#include <cstdlib>

namespace {

struct TestEnvironment {
    TestEnvironment() {
        setenv("TONEFADE_BUILD_DIR", TONEFADE_BUILD_DIR_DEFAULT, 0);
        setenv("TONEFADE_SOURCE_DIR", TONEFADE_SOURCE_DIR_DEFAULT, 0);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
    }
} gTestEnvironment;

}  // namespace
