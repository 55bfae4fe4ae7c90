// The settings command, and the settings that render and info report.
#include "SettingsCommand.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "Carbon.h"
#include "HostJob.h"
#include "InfoCommand.h"

extern char** environ;

namespace host {

namespace fs = std::filesystem;

namespace {

// Beside the bundle: <dir of the executable>/../libexec/tonefade-settings.
std::string SettingsProgramPath() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? "tonefade-settings" : (exe.parent_path().parent_path() / "libexec" / "tonefade-settings").string();
}

std::string ReadAll(int fd) {
    std::string out;
    char buffer[4096];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) out.append(buffer, std::size_t(n));
        else if (n == 0 || errno != EINTR) return out;
    }
}

ShownSettings ParseLines(const std::string& text) {
    ShownSettings s;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        std::size_t eq = line.find('=');
        if (eq != std::string::npos) s.values[line.substr(0, eq)] = line.substr(eq + 1);
        start = end + 1;
    }
    return s;
}

// "0.1,0.2,0.3,0.4" as four numbers; zeros for anything else.
std::vector<double> Four(const std::string& text) {
    double v[4] = {};
    std::sscanf(text.c_str(), "%lf,%lf,%lf,%lf", &v[0], &v[1], &v[2], &v[3]);
    return {v[0], v[1], v[2], v[3]};
}

std::string Fractions(const std::string& text) {
    auto v = Four(text);
    char out[128];
    std::snprintf(out, sizeof out, "left %.6g, top %.6g, right %.6g, bottom %.6g", v[0], v[1], v[2], v[3]);
    return out;
}

std::string Pixels(const ShownSettings& s) {
    auto v = Four(s["pixels"]);
    char out[160];
    std::snprintf(out, sizeof out, "left %g, top %g, right %g, bottom %g on a %s frame", v[0], v[1], v[2], v[3],
                  s["size"].c_str());
    return out;
}

void WarnIfNothingChanges(const ShownSettings& s) {
    if (!s.NothingChanges()) return;
    const bool noAmount = s["amount"] == "0";
    std::fprintf(stderr, "tonefade-host: warning: %s, so nothing will change (set it with 'tonefade-host settings %s')\n",
                 noAmount ? "the amount is 0" : "the rectangle is empty",
                 noAmount ? "--amount N" : "--rect L,T,R,B");
}

}  // namespace

const std::string& ShownSettings::operator[](const std::string& key) const {
    static const std::string kNone;
    auto it = values.find(key);
    return it == values.end() ? kNone : it->second;
}

bool ShownSettings::NothingChanges() const {
    auto px = Four((*this)["pixels"]);
    return (*this)["amount"] == "0" || px[2] <= px[0] || px[3] <= px[1];
}

std::string PreferencesFolderFor(const std::string& prefsDir) {
    toolbox::SetApplicationName(kApplicationName);
    toolbox::SetPreferencesFolder(prefsDir);
    return toolbox::PreferencesFolderPath();
}

ShownSettings RunSettingsProgram(const std::string& prefsFolder, const std::vector<std::string>& extra) {
    const std::string program = SettingsProgramPath();
    std::vector<std::string> args = {program, prefsFolder};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw JobFailure(std::string("cannot run the settings program: ") + std::strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    pid_t pid = 0;
    const int err = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    const std::string text = err == 0 ? ReadAll(out[0]) : std::string();
    close(out[0]);
    if (err != 0) throw JobFailure(program + ": cannot run the settings program (" + std::strerror(err) + ")");
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status)) throw JobFailure(program + ": the settings program stopped abnormally");
    if (WEXITSTATUS(status) == 2) throw UsageError("the settings were not changed");
    if (WEXITSTATUS(status) != 0) throw JobFailure("the settings were not changed");
    return ParseLines(text);
}

void ReportSettingsUsed(const std::string& prefsDir, int width, int height) {
    ShownSettings s;
    try {
        s = RunSettingsProgram(PreferencesFolderFor(prefsDir),
                               {"--size", std::to_string(width) + "x" + std::to_string(height)});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tonefade-host: cannot show the settings: %s\n", e.what());
        return;
    }
    auto px = Four(s["pixels"]);
    std::fprintf(stderr, "tonefade-host: settings: amount %s %%, rectangle %s (pixels %g,%g to %g,%g of %s), from %s\n",
                 s["amount"].c_str(), s["rect"].c_str(), px[0], px[1], px[2], px[3], s["size"].c_str(),
                 s["saved"] == "yes" ? s["file"].c_str() : "the defaults");
    WarnIfNothingChanges(s);
}

std::string SettingsJson(const ShownSettings& s) {
    auto px = Four(s["pixels"]);
    std::vector<std::string> rect;  // as the program wrote them: the shortest exact texts
    for (std::size_t start = 0, comma = 0; comma != std::string::npos && rect.size() < 4; start = comma + 1) {
        comma = s["rect"].find(',', start);
        rect.push_back(s["rect"].substr(start, comma == std::string::npos ? comma : comma - start));
    }
    rect.resize(4, "0");
    char numbers[512];
    std::snprintf(numbers, sizeof numbers,
                  "\"rect\": {\"left\": %s, \"top\": %s, \"right\": %s, \"bottom\": %s}, "
                  "\"pixels\": {\"left\": %g, \"top\": %g, \"right\": %g, \"bottom\": %g, \"size\": %s}",
                  rect[0].c_str(), rect[1].c_str(), rect[2].c_str(), rect[3].c_str(), px[0], px[1], px[2], px[3],
                  Json(s["size"]).c_str());
    return "{\"amount\": " + std::to_string(std::atoi(s["amount"].c_str())) + ", " + numbers +
           ", \"format\": " + Json(s["format"]) + ", \"file\": " + Json(s["file"]) +
           ", \"saved\": " + (s["saved"] == "yes" ? "true" : "false") + "}";
}

namespace {

std::string ShowText(const ShownSettings& s);

}  // namespace

std::string DescribeSettings(const std::string& prefsDir, int width, int height, bool json) {
    std::vector<std::string> size;
    if (width > 0) size = {"--size", std::to_string(width) + "x" + std::to_string(height)};
    ShownSettings s;
    try {
        s = RunSettingsProgram(PreferencesFolderFor(prefsDir), size);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tonefade-host: cannot show the settings: %s\n", e.what());
        return json ? ", \"settings\": null" : "";
    }
    WarnIfNothingChanges(s);
    if (json) return ", \"settings\": " + SettingsJson(s);
    std::string text = "\nsettings in force:\n" + ShowText(s);
    return text;
}

namespace {

std::string ShowText(const ShownSettings& s) {
    std::string out = "file       " + s["file"] + (s["saved"] == "yes" ? "" : " (nothing saved: the defaults)") + "\n";
    if (!s["problem"].empty()) out += "problem    " + s["problem"] + "\n";
    out += "amount     " + s["amount"] + " %\n";
    out += "rectangle  " + Fractions(s["rect"]) + " (fractions of the frame)\n";
    out += "pixels     " + Pixels(s) + "\n";
    return out + "format     " + s["format"] + "\n";
}

int RunSettings(const OptionValues& args) {
    const CommonOptions common = ReadCommonOptions(args);
    const std::string folder = PreferencesFolderFor(common.prefsDir);
    std::vector<std::string> extra;
    if (args.Given("--size")) {
        const FrameSize size = args.Size("--size");
        extra = {"--size", std::to_string(size.width) + "x" + std::to_string(size.height)};
    }
    const bool jsonOut = args.Given("--json") && args.Text("--json").empty();
    std::vector<std::string> changes;
    if (args.Flag("--reset")) changes.push_back("--reset");
    if (args.Given("--json") && !jsonOut) changes.insert(changes.end(), {"--json", args.Text("--json")});
    if (args.Given("--amount")) changes.insert(changes.end(), {"--amount", std::to_string(args.Integer("--amount"))});
    if (args.Given("--rect")) {
        char rect[160];
        const auto& r = args.Numbers("--rect");
        std::snprintf(rect, sizeof rect, "%.17g,%.17g,%.17g,%.17g", r[0], r[1], r[2], r[3]);
        changes.insert(changes.end(), {"--rect", rect});
    }
    const std::string format = args.Text("--format");
    if (args.Given("--format") && format != "ntsc" && format != "pal" && format != "hd")
        throw UsageError("--format takes ntsc, pal or hd, not '" + format + "'");
    if (args.Given("--format")) changes.insert(changes.end(), {"--format", args.Text("--format")});
    if (!changes.empty() && common.prefsDir.empty()) {
        std::error_code ec;  // the user's own folder is made on first use, as the system makes it
        fs::create_directories(folder, ec);
    } else if (!common.prefsDir.empty() && !fs::is_directory(common.prefsDir)) {
        throw JobFailure(common.prefsDir + ": the preferences folder does not exist");
    }
    extra.insert(extra.end(), changes.begin(), changes.end());
    const ShownSettings s = RunSettingsProgram(folder, extra);
    std::fputs(jsonOut ? (SettingsJson(s) + "\n").c_str() : ShowText(s).c_str(), stdout);
    if (!common.quiet) WarnIfNothingChanges(s);
    return 0;
}

constexpr Option kSettingsOptions[] = {
    {.name = "--amount", .kind = OptionKind::Integer, .value = "N",
     .help = "sets how far the colours inside the rectangle move towards grey, in percent", .min = 0, .max = 100},
    {.name = "--rect", .kind = OptionKind::Numbers, .value = "L,T,R,B",
     .help = "sets the rectangle the effect works in: left, top, right and bottom as fractions of the frame "
             "(0,0,1,1 is the whole frame)",
     .min = 0, .max = 1, .count = 4},
    {.name = "--format", .kind = OptionKind::Text, .value = "ntsc|pal|hd",
     .help = "sets the media format: the frame size the settings dialog shows (720x480, 720x576, 960x540)",
     .noun = "ntsc, pal or hd"},
    {.name = "--reset", .help = "goes back to the defaults first (amount 0, the whole frame, ntsc)"},
    {.name = "--json", .kind = OptionKind::MaybeText, .value = "FILE|-",
     .help = "alone, prints the settings as JSON; with a FILE (or - for standard input) that holds such JSON, "
             "applies it as a preset"},
    {.name = "--size", .kind = OptionKind::Size, .value = "WxH", .help = "the frame size to show the rectangle in pixels on",
     .defaultNote = "the media format's"},
};

}  // namespace

extern const Command kSettingsCommand{
    .name = "settings",
    .summary = "show or set the effect's settings: amount, rectangle, media format",
    .description = "Shows the settings every render uses: the amount, the rectangle as fractions of the frame and in "
                   "pixels, the media format, and the preferences file that holds them. With --amount, --rect, "
                   "--format, --reset or a preset (--json FILE), sets them first and saves them as the settings "
                   "dialog's OK does. A fresh preferences file has amount 0, which changes nothing.",
    .options = kSettingsOptions,
    .run = RunSettings,
};

}  // namespace host
