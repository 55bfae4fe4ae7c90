// Options as data: every command states each of its options once, in a table, and both
// its usage text and the reading of its command line are made from that table, in the
// manner of FFmpeg's option tables.
#pragma once

#include <map>
#include <span>
#include <string>
#include <vector>

#include "CommandLine.h"

namespace host {

enum class OptionKind {
    Flag,     // takes no value
    Integer,  // a whole number from min to max
    Number,   // a number from min to max
    Size,     // WIDTHxHEIGHT, each side from 1 to 32767
    Numbers,  // `count` numbers separated by commas, each from min to max
    Text,     // any text but an empty one
    MaybeText,  // given alone or with a text: "--json" or "--json FILE" (the text may be "-")
};

// One option. Tables name their fields (designated initializers), so that a field added
// later leaves every existing entry as it is.
struct Option {
    const char* name = "";              // "--fade-in"
    const char* shortName = nullptr;    // "-h": the same option in one letter, as ffmpeg users type it
    OptionKind kind = OptionKind::Flag;
    const char* value = "";             // the value in the usage text: "N", "WxH"
    const char* help = "";              // what it does; the default is added to it
    const char* byDefault = nullptr;    // the value taken when the option is not given
    const char* defaultNote = nullptr;  // the default as the usage text says it, when no value says it
    double min = 0, max = 0;            // Integer, Number, and each of Numbers
    int count = 0;                      // Numbers: how many
    const char* noun = "a value";       // Text: "--plugin needs a bundle path" for an empty one
    bool standsAlone = false;           // given, nothing else is checked and the command only answers it (--help)
};

// A positional argument.
struct Argument {
    const char* name = "";  // "INPUT"
    const char* help = "";
    bool required = true;
};

class OptionValues;

struct Command {
    const char* name = "";
    const char* summary = "";  // its line in the program's list of commands
    std::span<const Argument> arguments = {};
    const char* description = "";  // paragraphs, separated by "\n"
    std::span<const Option> options = {};  // its own; the options every command takes follow them
    int (*run)(const OptionValues&) = nullptr;
};

struct FrameSize {
    int width = 0, height = 0;
};

// A command line read against a command's table and the common table. Wrong usage is
// thrown as UsageError, in this order: an unknown option or a missing value, the
// positional arguments, then each value (given, or the default) in the tables' order.
class OptionValues {
public:
    OptionValues(const Command& command, std::span<const Option> common, int argc, char** argv, int first);

    // Whether the option was on the command line.
    bool Given(const std::string& name) const;
    // The option's value: as given, else its default, else false, 0, an empty size or
    // list or text. Asking for an option that no table has, or as another kind, is a
    // fault of the program (std::logic_error).
    bool Flag(const std::string& name) const;
    long Integer(const std::string& name) const;
    double Number(const std::string& name) const;
    FrameSize Size(const std::string& name) const;
    const std::vector<double>& Numbers(const std::string& name) const;
    const std::string& Text(const std::string& name) const;
    const std::vector<std::string>& Arguments() const { return args_.Positional(); }

private:
    struct Value {
        long integer = 0;
        double number = 0;
        FrameSize size;
        std::vector<double> numbers;
        std::string text;
    };
    const Option& Find(const std::string& name, OptionKind kind) const;
    const Value& Get(const std::string& name, OptionKind kind) const;
    void ReadValues();
    bool Present(const Option& option) const;
    static void Parse(const Option& option, const std::string& text, Value* value);

    const Command& command_;
    std::span<const Option> common_;
    std::vector<const Option*> options_;  // the command's, then the common ones
    Args args_;
    std::map<std::string, Value> values_;
};

// The usage text of a command, as --help prints it.
std::string Usage(const Command& command, std::span<const Option> common);

// `left`, then `text` from column `indent` on, wrapped to 80 columns.
std::string UsageItem(const std::string& left, const std::string& text, std::size_t indent);

// The left column of an option in the usage text: "--fade-in N".
std::string OptionSynopsis(const Option& option);

}  // namespace host
