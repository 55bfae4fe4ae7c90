// Command-line parsing.
#include "CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace host {

namespace {

// True when `arg` is one of the command's own options, as "--name" or "--name=value".
bool IsOptionName(const std::string& arg, const std::set<std::string>& switches, const std::set<std::string>& valued) {
    const std::string name = arg.substr(0, arg.find('='));
    return name.size() > 2 && name.compare(0, 2, "--") == 0 && (switches.count(name) || valued.count(name));
}

}  // namespace

Args::Args(int argc, char** argv, int first, std::initializer_list<const char*> switches,
           std::initializer_list<const char*> valued) {
    std::set<std::string> takesValue(valued.begin(), valued.end()), isSwitch(switches.begin(), switches.end());
    bool optionsEnded = false;
    for (int i = first; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-' || arg == "-") {
            positional_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg, value;
        std::size_t eq = arg.find('=');
        bool inlineValue = eq != std::string::npos;
        if (inlineValue) name = arg.substr(0, eq), value = arg.substr(eq + 1);
        if (isSwitch.count(name) && !inlineValue) {
            switches_.insert(name);
        } else if (takesValue.count(name)) {
            if (!inlineValue) {
                // "--fade-in --prefs-dir p1" lacks the fade's value; it does not fade by "--prefs-dir".
                if (i + 1 >= argc || IsOptionName(argv[i + 1], isSwitch, takesValue))
                    throw UsageError(name + " needs a value");
                value = argv[++i];
            }
            values_[name] = value;
        } else {
            throw UsageError("unknown option " + arg);
        }
    }
}

bool Args::Has(const std::string& name) const { return switches_.count(name) || values_.count(name); }

std::string Args::Value(const std::string& name, const std::string& fallback) const {
    auto it = values_.find(name);
    return it == values_.end() ? fallback : it->second;
}

void Args::ExpectPositional(std::initializer_list<const char*> required, std::size_t optional) const {
    std::string missing;
    for (std::size_t i = positional_.size(); i < required.size(); ++i)
        missing += (missing.empty() ? "" : " and ") + std::string(required.begin()[i]);
    if (!missing.empty()) throw UsageError("missing " + missing);
    const std::size_t max = required.size() + optional;
    if (positional_.size() > max) throw UsageError("unexpected argument " + positional_[max]);
}

long ParseInteger(const std::string& option, const std::string& text, long min, long max) {
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || value < min || value > max)
        throw UsageError(option + " takes a whole number from " + std::to_string(min) + " to " +
                         std::to_string(max) + ", not '" + text + "'");
    return value;
}

double ParseNumber(const std::string& option, const std::string& text, double min, double max) {
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value) || value < min || value > max) {
        char range[64];
        std::snprintf(range, sizeof range, "%g to %g", min, max);
        throw UsageError(option + " takes a number from " + range + ", not '" + text + "'");
    }
    return value;
}

void ParseSize(const std::string& option, const std::string& text, int* width, int* height) {
    std::size_t x = text.find_first_of("xX");
    if (x == std::string::npos) throw UsageError(option + " takes WIDTHxHEIGHT, such as 640x360, not '" + text + "'");
    try {
        *width = int(ParseInteger(option, text.substr(0, x), 1, 32767));
        *height = int(ParseInteger(option, text.substr(x + 1), 1, 32767));
    } catch (const UsageError&) {
        throw UsageError(option + ": each side is a whole number from 1 to 32767 pixels (the most the plug-in's "
                                  "rectangles address), not '" + text + "'");
    }
}

void ParseSliders(const std::string& option, const std::string& text, float sliders[3]) {
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        std::size_t comma = text.find(',', start);
        if ((i < 2) != (comma != std::string::npos))
            throw UsageError(option + " takes three numbers A,B,C from 0 to 1, not '" + text + "'");
        std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        sliders[i] = float(ParseNumber(option, part, 0.0, 1.0));
        start = comma + 1;
    }
}

}  // namespace host
