// Test inputs made by the ffmpeg program, as users make them: real encoded clips rather
// than ones the host wrote itself.
#pragma once

#include <string>
#include <vector>

namespace hosttest {

// Runs `ffmpeg -nostdin -v error -y ARGS`; a failure of the program fails the test.
void Ffmpeg(std::vector<std::string> args);

}  // namespace hosttest
