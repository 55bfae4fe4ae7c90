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
    return name.size() >= 2 && name[0] == '-' && (switches.count(name) || valued.count(name));
}

}  // namespace

Args::Args(int argc, char** argv, int first, std::initializer_list<const char*> switches,
           std::initializer_list<const char*> valued)
    : Args(argc, argv, first, std::set<std::string>(switches.begin(), switches.end()),
           std::set<std::string>(valued.begin(), valued.end())) {}

Args::Args(int argc, char** argv, int first, const std::set<std::string>& isSwitch,
           const std::set<std::string>& takesValue, const std::set<std::string>& valueOptional) {
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
            const bool nextIsValue = i + 1 < argc && (argv[i + 1][0] != '-' || std::string(argv[i + 1]) == "-");
            if (!inlineValue && valueOptional.count(name)) {
                if (nextIsValue) value = argv[++i];
            } else if (!inlineValue) {
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
    ExpectPositional(std::vector<std::string>(required.begin(), required.end()), optional);
}

void Args::ExpectPositional(const std::vector<std::string>& required, std::size_t optional) const {
    std::string missing;
    for (std::size_t i = positional_.size(); i < required.size(); ++i)
        missing += (missing.empty() ? "" : " and ") + required[i];
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

namespace {

std::string Range(double min, double max) {
    char range[64];
    std::snprintf(range, sizeof range, "%g to %g", min, max);
    return range;
}

std::string CountWord(int count) {
    static const char* const kWords[] = {"no", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine"};
    return count >= 0 && count < 10 ? kWords[count] : std::to_string(count);
}

}  // namespace

double ParseNumber(const std::string& option, const std::string& text, double min, double max) {
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value) || value < min || value > max)
        throw UsageError(option + " takes a number from " + Range(min, max) + ", not '" + text + "'");
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

std::vector<double> ParseNumbers(const std::string& option, const std::string& text, const std::string& placeholder,
                                 int count, double min, double max) {
    std::vector<double> numbers;
    std::size_t start = 0;
    for (int i = 0; i < count; ++i) {
        std::size_t comma = text.find(',', start);
        if ((i < count - 1) != (comma != std::string::npos))
            throw UsageError(option + " takes " + CountWord(count) + " numbers " + placeholder + " from " +
                             Range(min, max) + ", not '" + text + "'");
        std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        numbers.push_back(ParseNumber(option, part, min, max));
        start = comma + 1;
    }
    return numbers;
}

void ParseSliders(const std::string& option, const std::string& text, float sliders[3]) {
    std::vector<double> numbers = ParseNumbers(option, text, "A,B,C", 3, 0.0, 1.0);
    for (int i = 0; i < 3; ++i) sliders[i] = float(numbers[std::size_t(i)]);
}

}  // namespace host
