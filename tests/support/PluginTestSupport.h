// The plug-in tests' own: a fixture that gives each test a fresh plug-in and a private
// preferences folder, settings records the tests start from, and string lists put in a
// resource file as the host's texts.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "HostSession.h"
#include "effect/PluginDefines.h"
#include "support/Files.h"
#include "support/Frames.h"
#include "support/ReferenceTonefade.h"

namespace testsupport {

pluginDataRec DefaultSettings();
// The defaults with another amount, effect rectangle and format.
pluginDataRec SettingsWith(SInt16 amount, relRect rect, SInt16 mediaType = kMediaNTSC);
// Settings in which every field, and every element, differs from the others.
pluginDataRec DistinctSettings(int seed);
bool SameSettings(const pluginDataRec& a, const pluginDataRec& b);

// A new resource file at `path` with the given 'STR#' lists, opened at the head of the
// chain; answers its reference number.
using StringLists = std::vector<std::pair<SInt16, std::vector<std::string>>>;
ResFileRefNum OpenStringListFile(const std::string& path, const StringLists& lists);

// Gives each test a fresh, uninitialised plug-in and its own preferences folder.
class PluginTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    TempFolder folder;
    std::filesystem::path prefsDir = folder.path();
};

}  // namespace testsupport
