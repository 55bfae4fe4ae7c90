// Runs the fuzz target over files and folders of inputs, for builds without libFuzzer:
// the kept corpus becomes a regression test.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void Run(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) try {
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path place(argv[i]);
        std::error_code ec;
        if (!std::filesystem::is_directory(place, ec)) {
            Run(place);
            ++count;
            continue;
        }
        for (const auto& entry : std::filesystem::directory_iterator(place, ec)) {
            if (!entry.is_regular_file(ec)) continue;
            Run(entry.path());
            ++count;
        }
    }
    std::printf("%d inputs replayed\n", count);
    return count > 0 ? 0 : 1;
} catch (const std::exception& e) {
    // The last resort: one line and a failed run, never an abort.
    std::fprintf(stderr, "replay: %s\n", e.what());
    return 1;
} catch (...) {
    std::fprintf(stderr, "replay: an unknown error\n");
    return 1;
}
