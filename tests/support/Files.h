// Files for tests: a private temporary folder per test, whole files read and written,
// folder listings, and where this build and its sources are.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "MacTypes.h"

namespace testsupport {

using Bytes = std::vector<UInt8>;

// A fresh folder of its own under the system's temporary folder, removed with all it
// holds (write permission given back first) when it goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

Bytes ReadBytes(const std::filesystem::path& path);
std::string ReadText(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const Bytes& bytes);
void WriteText(const std::filesystem::path& path, const std::string& text);  // makes the folders too
// The names in `folder`, sorted; none when it cannot be read.
std::vector<std::string> FolderEntries(const std::filesystem::path& folder);
long LineCount(const std::string& text);
// `text` with every `what` replaced by `with`.
std::string Replaced(std::string text, const std::string& what, const std::string& with);

// The build and source folders: the environment's TONEFADE_BUILD_DIR and
// TONEFADE_SOURCE_DIR, else those this library was built for.
std::filesystem::path BuildDir();
std::filesystem::path SourceDir();
std::string BuiltBundle();       // BuildDir()/Tonefade.bundle
std::string DialogKitBundle();   // the dialog toolkit's test bundle in the sources
// A count for the long-running tests, from the environment when set there.
int CountFromEnvironment(const char* name, int fallback);

}  // namespace testsupport
