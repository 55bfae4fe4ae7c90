// The progress bar.
#include "Progress.h"

#include <algorithm>
#include <cmath>

namespace host {

ProgressBar::ProgressBar(bool enabled, int total, std::FILE* out)
    : enabled_(enabled), total_(total), out_(out), start_(std::chrono::steady_clock::now()) {}

double ProgressBar::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

std::string ProgressBar::Line(int done, int total, double seconds, int width) {
    int filled = total > 0 ? int(std::int64_t(width) * std::clamp(done, 0, total) / total) : width;
    std::string bar(1, '[');
    bar.append(std::size_t(filled), '#').append(std::size_t(width - filled), '-').append(1, ']');
    double fps = seconds > 0 ? done / seconds : 0.0;
    char text[160];
    if (fps > 0 && done < total) {
        long left = std::lround((total - done) / fps);
        std::snprintf(text, sizeof text, " %d/%d frames  %.1f fps  %ld:%02ld left", done, total, fps, left / 60,
                      left % 60);
    } else {
        std::snprintf(text, sizeof text, " %d/%d frames  %.1f fps", done, total, fps);
    }
    return bar + text;
}

void ProgressBar::Update(int done) {
    if (!enabled_) return;
    auto now = std::chrono::steady_clock::now();
    if (drawn_ && done < total_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    drawn_ = true;
    std::fprintf(out_, "\r%s\x1b[K", Line(done, total_, Seconds()).c_str());
    std::fflush(out_);
}

void ProgressBar::Clear() {
    if (!drawn_) return;
    std::fprintf(out_, "\r\x1b[K");
    std::fflush(out_);
    drawn_ = false;
}

}  // namespace host
