// The progress bar of a render on standard error (only when it is a terminal): frames
// done of total, frames per second and time left, redrawn at most ten times a second.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace host {

class ProgressBar {
public:
    // Draws nothing unless `enabled`; `out` is where it draws (standard error).
    ProgressBar(bool enabled, int total, std::FILE* out = stderr);
    void Update(int done);
    // Clears the bar's line, so the summary or an error starts on a clean line.
    void Clear();
    double Seconds() const;

    // "[#####-----]  120/300 frames   85.3 fps   0:02 left", `width` characters of bar.
    static std::string Line(int done, int total, double seconds, int width = 30);

private:
    bool enabled_;
    int total_;
    std::FILE* out_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_, lastDraw_;
};

}  // namespace host
