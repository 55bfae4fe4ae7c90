// A nib that lacks a control the dialog cannot do without stops the host with the
// assertion that names it. The broken nibs are the built ones with that control taken out.
#include <regex>

#include "ConfigDialogTest.h"
#include "RenderDriver.h"
#include "glue/PlugInMain.h"

namespace configtest {
namespace {

struct MissingControl {
    const char* signature;
    int id;
    const char* message;
};

void PrintTo(const MissingControl& c, std::ostream* os) { *os << c.signature << " " << c.id; }

class ConfigDeathTest : public ConfigDialogTest, public ::testing::WithParamInterface<MissingControl> {};

TEST_P(ConfigDeathTest, StopsWithTheAssertionThatNamesIt) {
    const std::regex line(std::string("[^\n]*signature=\"") + GetParam().signature + "\" id=\"" +
                          std::to_string(GetParam().id) + "\"[^\n]*\n");
    const std::string bundle =
        CopyBundle(scratch, {}, [&](const std::string& nib) { return std::regex_replace(nib, line, ""); });
    EXPECT_EXIT(
        {
            std::string error;
            toolbox::RegisterBundle(bundle, &error);
            host::CallPlugin(PlugInMain, *session, kPlugCustomButtonClick);
        },
        ::testing::ExitedWithCode(toolbox::kExitToShellStatus),
        std::string("Assertion failed in: ") + GetParam().message + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    BrokenNibs, ConfigDeathTest,
    ::testing::Values(MissingControl{"Clip", 1, "Cannot acces Clip 1 CTRL"},
                      MissingControl{"Colr", 1, "Cannot allocate color1 in SetupDialog"},
                      MissingControl{"Colr", 2, "Cannot allocate color2 in SetupDialog"},
                      MissingControl{"Colr", 6, "Cannot allocate color6 in SetupDialog"},
                      MissingControl{"Sldr", 1, "Cannot access slider 1"},
                      MissingControl{"Sldr", 4, "Cannot access slider 4"},
                      MissingControl{"Sldr", 6, "Cannot access slider 6"},
                      MissingControl{"ClpS", 1, "Cannot access clip slider"}));

}  // namespace
}  // namespace configtest
