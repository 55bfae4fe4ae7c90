// Progress of a render: the bar on standard error (only when it is a terminal) — frames
// done of total, frames per second and time left, fitted to the terminal's width and
// redrawn in place at most ten times a second — and, for programs that drive the host,
// ffmpeg's -progress blocks of key=value lines.
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

    // "[#####-----]  120/300 frames  85.3 fps  0:02 left" in at most `columns` - 1
    // characters (a line that reaches the last column would wrap on some terminals):
    // the bar takes what the text leaves, and goes when less than 10 is left; the
    // text is cut at the end when even it does not fit.
    static std::string Line(int done, int total, double seconds, int columns = 80);
    // The width of the terminal on `fd` (TIOCGWINSZ), else $COLUMNS, else 80.
    static int Columns(int fd);

private:
    bool enabled_;
    int total_;
    std::FILE* out_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_, lastDraw_;
};

// ffmpeg's -progress: every half second and at the end, a block of key=value lines
// (frame, fps, out_time_us, out_time, speed, progress=continue or, last, end) written to a
// file, a named pipe or standard output ("-"). Writing errors are ignored, as a reader
// that went away must not stop the render.
class ProgressReport {
public:
    // Nothing is written for an empty `target`; throws JobFailure when it cannot be opened.
    ProgressReport(const std::string& target, double frameRate);
    ~ProgressReport();
    ProgressReport(const ProgressReport&) = delete;
    ProgressReport& operator=(const ProgressReport&) = delete;
    void Update(int done, bool last = false);

    // One block.
    static std::string Block(int done, double seconds, double frameRate, bool last);

private:
    std::FILE* out_ = nullptr;
    bool owned_ = false;
    double frameRate_;
    std::chrono::steady_clock::time_point start_, lastWrite_;
    bool written_ = false;
};

}  // namespace host
