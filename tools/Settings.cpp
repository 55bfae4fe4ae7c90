// tonefade-settings: the settings in a preferences folder, read and written by the
// plug-in's own preferences code (ReadConfig, SaveConfig: the same locked, all-or-nothing
// save as the dialog's OK), for `tonefade-host settings` and the summaries of render and
// info. The host runs it as a program, so it never links the plug-in.
//
//   tonefade-settings FOLDER [--size WxH] [--reset] [--json FILE|-] [--amount N]
//                     [--rect L,T,R,B] [--format ntsc|pal|hd]
//
// Changes apply in that order (the defaults, a preset, then single settings) and are saved
// at once; with none, nothing is written. It prints the settings then in force, one
// key=value a line: file, saved (yes, or no when the defaults stand), problem, amount,
// rect (fractions left,top,right,bottom), format, size, pixels (the rectangle on a frame of
// that size, as the effect maps it; the format's frame size unless --size).
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "Carbon.h"
#include "effect/DataHandling.h"
#include "effect/PrefsLoader.h"
#include "effect/RelRects.h"

namespace {

struct Failure {
    int status;
    std::string message;
};

struct Changes {
    bool reset = false;
    std::string preset;  // a file, or "-" for standard input
    std::optional<SInt16> amount;
    std::optional<relRect> rect;
    std::optional<SInt16> format;
    bool Any() const { return reset || !preset.empty() || amount || rect || format; }
};

const char* const kFormats[] = {"ntsc", "pal", "hd"};

SInt16 FormatNamed(const std::string& name) {
    for (SInt16 i = 0; i < 3; ++i)
        if (name == kFormats[i]) return SInt16(i + 1);
    throw Failure{2, "the format is ntsc, pal or hd, not '" + name + "'"};
}

std::string FormatName(SInt16 mediaType) {
    return mediaType >= 1 && mediaType <= 3 ? kFormats[mediaType - 1] : "unknown (" + std::to_string(mediaType) + ")";
}

SInt16 Amount(double value, const std::string& from) {
    if (!(value >= 0 && value <= 100) || value != double(long(value)))
        throw Failure{2, from + ": the amount is a whole number from 0 to 100"};
    return SInt16(value);
}

relRect Rectangle(double l, double t, double r, double b, const std::string& from) {
    for (double v : {l, t, r, b})
        if (!(v >= 0 && v <= 1)) throw Failure{2, from + ": each side of the rectangle is a fraction from 0 to 1"};
    return relRect{l, r, t, b};  // the record keeps left, right, top, bottom
}

double Number(const std::string& text, const std::string& option) {
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0') throw Failure{2, option + " takes a number, not '" + text + "'"};
    return value;
}

relRect ParseRect(const std::string& text) {
    double v[4];
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        std::size_t comma = i < 3 ? text.find(',', start) : std::string::npos;
        if (i < 3 && comma == std::string::npos) throw Failure{2, "--rect takes L,T,R,B, not '" + text + "'"};
        v[i] = Number(text.substr(start, comma == std::string::npos ? comma : comma - start), "--rect");
        start = comma + 1;
    }
    return Rectangle(v[0], v[1], v[2], v[3], "--rect");
}

std::string ReadPreset(const std::string& name) {
    if (name == "-") return std::string(std::istreambuf_iterator<char>(std::cin), {});
    std::error_code ec;
    if (!std::filesystem::is_regular_file(name, ec)) throw Failure{1, name + ": no such preset file"};
    std::ifstream in(name, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    if (!in.good() && !in.eof()) throw Failure{1, name + ": cannot be read"};
    return text;
}

// A preset is the JSON that `settings --json` prints; keys other than amount, rect and
// format (the file, the pixels) are what was shown, not settings, and are ignored.
void ApplyPreset(const std::string& name, pluginDataRec* settings) {
    const std::string from = name == "-" ? "the preset on standard input" : name;
    nlohmann::json preset;
    try {
        preset = nlohmann::json::parse(ReadPreset(name));
        if (!preset.is_object()) throw Failure{1, from + ": a preset is a JSON object"};
        if (preset.contains("amount")) settings->sliders[0] = Amount(preset.at("amount").get<double>(), from);
        if (preset.contains("rect")) {
            const nlohmann::json& r = preset.at("rect");
            settings->startRel = Rectangle(r.at("left").get<double>(), r.at("top").get<double>(),
                                           r.at("right").get<double>(), r.at("bottom").get<double>(), from);
        }
        if (preset.contains("format")) settings->mediaType = FormatNamed(preset.at("format").get<std::string>());
    } catch (const nlohmann::json::exception& e) {
        throw Failure{1, from + ": not a settings preset (" + e.what() + ")"};
    }
}

struct Request {
    std::string folder;
    int width = 0, height = 0;
    Changes changes;
};

Request ParseArguments(int argc, char** argv) {
    if (argc < 2) throw Failure{2, "usage: tonefade-settings FOLDER [options]"};
    Request r;
    r.folder = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--reset") {
            r.changes.reset = true;
            continue;
        }
        if (i + 1 >= argc) throw Failure{2, option + ": unknown, or without its value"};
        const std::string value = argv[++i];
        if (option == "--amount") r.changes.amount = Amount(Number(value, option), option);
        else if (option == "--rect") r.changes.rect = ParseRect(value);
        else if (option == "--format") r.changes.format = FormatNamed(value);
        else if (option == "--json") r.changes.preset = value;
        else if (option == "--size" && std::sscanf(value.c_str(), "%dx%d", &r.width, &r.height) == 2) continue;
        else throw Failure{2, "unknown option " + option};
    }
    return r;
}

// The shortest text that reads back as exactly the same double.
std::string Shortest(double value) {
    char text[32];
    auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

void Print(const Request& r, const pluginDataRec& s, bool saved) {
    prefsStatusRec status;
    GetPrefsStatus(&status);
    int width = r.width, height = r.height;
    if (width <= 0 || height <= 0) {  // the frame the plug-in asks for when its dialog opens
        width = s.mediaType == kMediaHD ? 960 : 720;
        height = s.mediaType == kMediaPAL ? 576 : s.mediaType == kMediaHD ? 540 : 480;
    }
    Rect frame;
    SetRect(&frame, 0, 0, SInt16(width), SInt16(height));
    const Rect px = Rel2Rect(s.startRel, frame);
    std::printf("file=%s\nsaved=%s\nproblem=%s\n", (std::filesystem::path(r.folder) / "vardo-Prefs").c_str(),
                saved ? "yes" : "no", toolbox::MacRomanToUTF8(status.readProblem + 1, status.readProblem[0]).c_str());
    std::printf("amount=%d\nrect=%s,%s,%s,%s\nformat=%s\n", s.sliders[0], Shortest(s.startRel.left).c_str(),
                Shortest(s.startRel.top).c_str(), Shortest(s.startRel.right).c_str(), Shortest(s.startRel.bottom).c_str(),
                FormatName(s.mediaType).c_str());
    std::printf("size=%dx%d\npixels=%d,%d,%d,%d\n", width, height, px.left, px.top, px.right, px.bottom);
}

int Run(int argc, char** argv) {
    const Request r = ParseArguments(argc, argv);
    toolbox::SetPreferencesFolder(r.folder);
    pluginDataRec settings{};
    ResetConfig(&settings);
    bool saved = ReadConfig(&settings);
    if (r.changes.Any()) {
        if (r.changes.reset) ResetConfig(&settings);
        if (!r.changes.preset.empty()) ApplyPreset(r.changes.preset, &settings);
        if (r.changes.amount) settings.sliders[0] = *r.changes.amount;
        if (r.changes.rect) settings.startRel = *r.changes.rect;
        if (r.changes.format) settings.mediaType = *r.changes.format;
        if (!SaveConfig(&settings)) {
            prefsStatusRec status;
            GetPrefsStatus(&status);
            throw Failure{1, toolbox::MacRomanToUTF8(status.saveProblem + 1, status.saveProblem[0])};
        }
        saved = true;
    }
    Print(r, settings, saved);
    return 0;
}

}  // namespace

int main(int argc, char** argv) try {
    return Run(argc, argv);
} catch (const Failure& f) {
    std::fprintf(stderr, "%s\n", f.message.c_str());
    return f.status;
} catch (const std::exception& e) {
    // The last resort: one line and a failed job, never an abort.
    std::fprintf(stderr, "tonefade-settings: %s\n", e.what());
    return 1;
}
