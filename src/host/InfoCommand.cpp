// The info command.
#include "InfoCommand.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "Carbon.h"
#include "HostJob.h"
#include "RenderDriver.h"
#include "SettingsCommand.h"
#include "VideoReader.h"

namespace host {

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

// The length of the well-formed UTF-8 sequence at text[i], or 0 when there is none:
// no overlong forms, no surrogates, nothing past U+10FFFF.
std::size_t Utf8Length(const std::string& text, std::size_t i) {
    const auto at = [&](std::size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
    const unsigned c = at(i);
    std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    unsigned low = 0x80, high = 0xBF;  // the range of the byte after the first
    if (c < 0xC2 || c > 0xF4) return 0;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
    if (at(i + 1) < low || at(i + 1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (at(i + k) < 0x80 || at(i + k) > 0xBF) return 0;
    return length;
}

std::string Format(const char* format, double a, double b = 0) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

}  // namespace

// File names are bytes, not always UTF-8: each byte that is not part of a
// well-formed UTF-8 sequence becomes U+FFFD, written \ufffd, so the output always parses.
std::string Json(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') out += '\\', out += char(c);
        else if (c == '\n') out += "\\n";
        else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else if (c < 0x80) out += char(c);
        else if (std::size_t n = Utf8Length(text, i)) out.append(text, i, n), i += n - 1;
        else out += "\\ufffd";
    }
    return out + "\"";
}

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
    // Built as a string: a path has no length limit.
    const std::string frames = std::to_string(clip.FrameCount()), width = std::to_string(clip.Width()),
                      height = std::to_string(clip.Height()), rate = Format("%.6g", clip.FrameRate()),
                      exact = RateText(clip.ExactFrameRate()),
                      sampleRate = std::to_string(clip.AudioSampleRate()),
                      channels = std::to_string(clip.AudioChannels());
    if (json)
        return ", \"clip\": {\"path\": " + Json(path) + ", \"frames\": " + frames + ", \"width\": " + width +
               ", \"height\": " + height + ", \"frameRate\": " + rate + ", \"frameRateExact\": " + Json(exact) + ", \"sampleRate\": " + sampleRate +
               ", \"channels\": " + channels + "}}\n";
    return "clip     " + path + "\nframes   " + frames + "\nsize     " + width + "x" + height + "\nrate     " + exact +
           " frames/s" + (exact == rate ? "" : " (" + rate + ")") + "\naudio    " + sampleRate + " Hz, " + channels + " channels\n";
}

int RunInfo(const OptionValues& args) {
    CommonOptions common = ReadCommonOptions(args);
    LoadedPlugin plugin = LoadPluginFor(common);
    const bool json = args.Flag("--json");
    std::unique_ptr<FrameSource> input;
    if (!args.Arguments().empty()) {
        std::string error;
        input = OpenClip(args.Arguments()[0], ReaderOptions{}, &error);
        if (!input) throw JobFailure(error);
    }
    MemoryClip clip(16, 16);  // the description asks nothing of the clip
    HostSession session(clip, 16, 16);
    HYPluginResult result = CallPlugin(plugin.entry, session, kPlugGetInfo);
    if (result != kPluginOK)
        throw JobFailure(plugin.bundlePath + ": the plug-in answered kPlugGetInfo with " + ResultName(result) + " (" +
                         std::to_string(int(result)) + ")");
    std::string text = json ? DescribeJson(session.Params(), plugin.bundlePath)
                            : DescribeText(session.Params(), plugin.bundlePath);
    if (json) text.erase(text.rfind('}'));  // the clip and the settings join the same object
    if (input) {
        text += DescribeClip(args.Arguments()[0], *input, json);
        if (json) text.erase(text.rfind('}'));
    }
    text += DescribeSettings(common.prefsDir, input ? input->Width() : 0, input ? input->Height() : 0, json);
    if (json) text += "}\n";
    std::fputs(text.c_str(), stdout);
    return 0;
}

constexpr Argument kInfoArguments[] = {
    {.name = "INPUT", .help = "a clip: also shows it as the plug-in would see it", .required = false},
};

constexpr Option kInfoOptions[] = {
    {.name = "--json", .help = "prints one JSON object instead of text"},
};

}  // namespace

extern const Command kInfoCommand{
    .name = "info",
    .summary = "print the plug-in's description of itself (--json for JSON)",
    .arguments = kInfoArguments,
    .description = "Loads the plug-in and prints its description of itself: type, flags, the editor's sliders "
                   "with their labels and defaults, the button title and the group. With INPUT, also the clip as "
                   "the plug-in would see it: frames, size, frame rate and sound. Then the settings a render would use "
                   "(the rectangle in pixels on the clip's frames).",
    .options = kInfoOptions,
    .run = RunInfo,
};

}  // namespace host
