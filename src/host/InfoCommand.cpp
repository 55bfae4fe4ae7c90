// The info command.
#include "InfoCommand.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "Carbon.h"
#include "HostJob.h"
#include "RenderDriver.h"
#include "VideoReader.h"

namespace host {

const char* const kInfoUsage =
    "usage: tonefade-host info [INPUT] [--json] [--plugin BUNDLE] [--prefs-dir DIR]\n"
    "\n"
    "Loads the plug-in and prints its description of itself: type, flags, the host's\n"
    "sliders with their labels and defaults, the button title and the group. With INPUT,\n"
    "also the clip as the plug-in would see it: frames, size, frame rate and audio.\n"
    "  --json           one JSON object instead of text\n"
    "  --plugin BUNDLE  the plug-in bundle (default: the one built beside this program)\n"
    "  --prefs-dir DIR  the preferences folder (default: the user's)\n";

namespace {

// The plug-in's texts are Mac Roman, zero-terminated within their fields.
template <std::size_t N>
std::string Text(const char (&field)[N]) {
    return toolbox::MacRomanToUTF8(reinterpret_cast<const unsigned char*>(field), strnlen(field, N));
}

std::string TypeName(int type) {
    switch (type) {
        case kPluginTitleType: return "title";
        case kPluginTransitionBeforeType: return "transition before";
        case kPluginTransitionBetweenType: return "transition between";
        case kPluginTransitionAfterType: return "transition after";
        case kPluginFilterType: return "filter";
        default: return "unknown";
    }
}

std::string Json(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') out += '\\', out += char(c);
        else if (c == '\n') out += "\\n";
        else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else out += char(c);
    }
    return out + "\"";
}

std::string Format(const char* format, double a, double b = 0) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

}  // namespace

std::string DescribeText(const HYPluginParams& p, const std::string& bundlePath) {
    std::string out = "plug-in  " + bundlePath + "\n";
    out += "type     " + TypeName(p.getInfo.pluginType) + " (" + std::to_string(p.getInfo.pluginType) + ")\n";
    char flags[32];
    std::snprintf(flags, sizeof flags, "0x%08X", unsigned(p.getInfo.pluginFlags));
    out += std::string("flags    ") + flags + "\n";
    out += "group    " + Text(p.getInfo2.group) + "\n";
    out += "button   " + Text(p.getInfo3.buttonTitle) + "\n";
    out += "sliders\n";
    for (int i = 0; i < 3; ++i) {
        const HYPluginFilterSliderInfo& s = p.getInfo2.filterSliders[i];
        out += "  " + std::to_string(i + 1) + ". " + Text(s.label) + "  (" + Text(s.minLabel) + " .. " +
               Text(s.maxLabel) + ")  default " + Format("%.2f", s.defaultValue) + "\n";
    }
    out += "memory   " + std::to_string(p.getInfo2.baseMemoryNeeded) + " bytes\n";
    return out;
}

std::string DescribeJson(const HYPluginParams& p, const std::string& bundlePath) {
    std::string out = "{\"bundle\": " + Json(bundlePath);
    out += ", \"type\": " + Json(TypeName(p.getInfo.pluginType));
    out += ", \"typeCode\": " + std::to_string(p.getInfo.pluginType);
    out += ", \"flags\": " + std::to_string(p.getInfo.pluginFlags);
    out += ", \"group\": " + Json(Text(p.getInfo2.group));
    out += ", \"buttonTitle\": " + Json(Text(p.getInfo3.buttonTitle));
    out += ", \"sliders\": [";
    for (int i = 0; i < 3; ++i) {
        const HYPluginFilterSliderInfo& s = p.getInfo2.filterSliders[i];
        out += std::string(i ? ", " : "") + "{\"label\": " + Json(Text(s.label)) + ", \"minLabel\": " +
               Json(Text(s.minLabel)) + ", \"maxLabel\": " + Json(Text(s.maxLabel)) +
               ", \"default\": " + Format("%.9g", s.defaultValue) + "}";
    }
    out += "], \"baseMemoryNeeded\": " + std::to_string(p.getInfo2.baseMemoryNeeded) + "}\n";
    return out;
}

namespace {

std::string DescribeClip(const std::string& path, const FrameSource& clip, bool json) {
    char text[512];
    if (json)
        std::snprintf(text, sizeof text,
                      ", \"clip\": {\"path\": %s, \"frames\": %d, \"width\": %d, \"height\": %d, "
                      "\"frameRate\": %.6g, \"sampleRate\": %d, \"channels\": %d}}\n",
                      Json(path).c_str(), clip.FrameCount(), clip.Width(), clip.Height(), clip.FrameRate(),
                      clip.AudioSampleRate(), clip.AudioChannels());
    else
        std::snprintf(text, sizeof text,
                      "clip     %s\nframes   %d\nsize     %dx%d\nrate     %.6g frames/s\naudio    %d Hz, %d "
                      "channels\n",
                      path.c_str(), clip.FrameCount(), clip.Width(), clip.Height(), clip.FrameRate(),
                      clip.AudioSampleRate(), clip.AudioChannels());
    return text;
}

}  // namespace

int RunInfo(int argc, char** argv) {
    Args args(argc, argv, 2, {TONEFADE_COMMON_SWITCHES, "--json"}, {TONEFADE_COMMON_VALUED});
    if (args.Has("--help")) {
        std::fputs(kInfoUsage, stdout);
        return 0;
    }
    args.ExpectPositional(0, 1, "");
    CommonOptions common = ReadCommonOptions(args);
    LoadedPlugin plugin = LoadPluginFor(common);
    std::unique_ptr<FrameSource> input;
    if (!args.Positional().empty()) {
        std::string error;
        input = OpenClip(args.Positional()[0], ReaderOptions{}, &error);
        if (!input) throw JobFailure(error);
    }
    MemoryClip clip(16, 16);  // the description asks nothing of the clip
    HostSession session(clip, 16, 16);
    HYPluginResult result = CallPlugin(plugin.entry, session, kPlugGetInfo);
    if (result != kPluginOK)
        throw JobFailure(plugin.bundlePath + ": the plug-in answered kPlugGetInfo with " + ResultName(result) + " (" +
                         std::to_string(int(result)) + ")");
    std::string text = args.Has("--json") ? DescribeJson(session.Params(), plugin.bundlePath)
                                          : DescribeText(session.Params(), plugin.bundlePath);
    if (input) {
        if (args.Has("--json")) text.erase(text.rfind('}'));  // the clip joins the same object
        text += DescribeClip(args.Positional()[0], *input, args.Has("--json"));
    }
    std::fputs(text.c_str(), stdout);
    return 0;
}

}  // namespace host
