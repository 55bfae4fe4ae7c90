// Runs the fuzz target over files and folders of inputs, for builds without libFuzzer:
// the kept corpus becomes a regression test.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "support/Files.h"
#include "support/LastResort.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    return testsupport::MainWithLastResort("replay", [&] {
        int count = 0;
        for (int i = 1; i < argc; ++i) {
            std::error_code ec;
            std::vector<std::filesystem::path> files{argv[i]};
            if (std::filesystem::is_directory(files[0], ec)) {
                files.clear();
                for (const auto& entry : std::filesystem::directory_iterator(argv[i], ec))
                    if (entry.is_regular_file(ec)) files.push_back(entry.path());
            }
            for (const auto& file : files) {
                const testsupport::Bytes bytes = testsupport::ReadBytes(file);
                LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
                ++count;
            }
        }
        std::printf("%d inputs replayed\n", count);
        return count > 0 ? 0 : 1;
    });
}
