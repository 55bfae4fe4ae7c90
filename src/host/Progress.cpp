// The progress bar and the progress report.
#include "Progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "HostJob.h"

namespace host {

ProgressBar::ProgressBar(bool enabled, int total, std::FILE* out)
    : enabled_(enabled), total_(total), out_(out), start_(std::chrono::steady_clock::now()) {}

double ProgressBar::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

int ProgressBar::Columns(int fd) {
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    if (const char* columns = std::getenv("COLUMNS")) {
        const int n = std::atoi(columns);
        if (n > 0) return n;
    }
    return 80;
}

std::string ProgressBar::Line(int done, int total, double seconds, int columns) {
    const double fps = seconds > 0 ? done / seconds : 0.0;
    char text[160];
    if (fps > 0 && done < total) {
        long left = std::lround((total - done) / fps);
        std::snprintf(text, sizeof text, " %d/%d frames  %.1f fps  %ld:%02ld left", done, total, fps, left / 60,
                      left % 60);
    } else {
        std::snprintf(text, sizeof text, " %d/%d frames  %.1f fps", done, total, fps);
    }
    const int room = std::max(1, columns - 1);
    const int width = room - int(std::strlen(text)) - 2;  // the bar's cells between its brackets
    if (width < 10) return std::string(text + 1).substr(0, std::size_t(room));
    const int filled = total > 0 ? int(std::int64_t(width) * std::clamp(done, 0, total) / total) : width;
    std::string bar(1, '[');
    bar.append(std::size_t(filled), '#').append(std::size_t(width - filled), '-').append(1, ']');
    return bar + text;
}

void ProgressBar::Update(int done) {
    if (!enabled_) return;
    auto now = std::chrono::steady_clock::now();
    if (drawn_ && done < total_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    drawn_ = true;
    // The width is asked each time: a terminal made narrower mid-render must not wrap.
    std::fprintf(out_, "\r%s\x1b[K", Line(done, total_, Seconds(), Columns(fileno(out_))).c_str());
    std::fflush(out_);
}

void ProgressBar::Clear() {
    if (!drawn_) return;
    std::fprintf(out_, "\r\x1b[K");
    std::fflush(out_);
    drawn_ = false;
}

ProgressReport::ProgressReport(const std::string& target, double frameRate)
    : frameRate_(frameRate), start_(std::chrono::steady_clock::now()) {
    if (target.empty()) return;
    if (target == "-") {
        out_ = stdout;
        return;
    }
    out_ = std::fopen(target.c_str(), "w");  // a named pipe too: an editor may be reading it
    if (out_ == nullptr) throw JobFailure(target + ": cannot write the progress there (" + std::strerror(errno) + ")");
    owned_ = true;
}

ProgressReport::~ProgressReport() {
    if (owned_) std::fclose(out_);
}

std::string ProgressReport::Block(int done, double seconds, double frameRate, bool last) {
    const long long us = frameRate > 0 ? std::llround(done / frameRate * 1e6) : 0;
    char block[256];
    std::snprintf(block, sizeof block,
                  "frame=%d\nfps=%.2f\nout_time_us=%lld\nout_time=%02lld:%02lld:%02lld.%06lld\nspeed=%.3gx\n"
                  "progress=%s\n",
                  done, seconds > 0 ? done / seconds : 0.0, us, us / 3600000000, us / 60000000 % 60,
                  us / 1000000 % 60, us % 1000000, seconds > 0 ? us / 1e6 / seconds : 0.0,
                  last ? "end" : "continue");
    return block;
}

void ProgressReport::Update(int done, bool last) {
    if (out_ == nullptr) return;
    const auto now = std::chrono::steady_clock::now();
    if (!last && written_ && now - lastWrite_ < std::chrono::milliseconds(500)) return;
    lastWrite_ = now;
    written_ = true;
    std::fputs(Block(done, std::chrono::duration<double>(now - start_).count(), frameRate_, last).c_str(), out_);
    std::fflush(out_);
}

}  // namespace host
