// Reading a command line against option tables, and usage texts made from them.
#include "Options.h"

#include <algorithm>
#include <set>
#include <stdexcept>

namespace host {

namespace {

constexpr std::size_t kTextWidth = 80;

std::vector<const Option*> Join(std::span<const Option> own, std::span<const Option> common) {
    std::vector<const Option*> all;
    for (const Option& o : own) all.push_back(&o);
    for (const Option& o : common) all.push_back(&o);
    return all;
}

std::set<std::string> Names(const std::vector<const Option*>& options, OptionKind kind, bool same) {
    std::set<std::string> names;
    for (const Option* o : options)
        if ((o->kind == kind) == same) {
            names.insert(o->name);
            if (o->shortName) names.insert(o->shortName);
        }
    return names;
}

}  // namespace

OptionValues::OptionValues(const Command& command, std::span<const Option> common, int argc, char** argv, int first)
    : command_(command),
      common_(common),
      options_(Join(command.options, common)),
      args_(argc, argv, first, Names(options_, OptionKind::Flag, true), Names(options_, OptionKind::Flag, false),
            Names(options_, OptionKind::MaybeText, true)) {
    for (const Option* o : options_)
        if (o->standsAlone && Present(*o)) return;
    std::vector<std::string> required;
    std::size_t optional = 0;
    for (const Argument& a : command_.arguments) {
        if (a.required) required.push_back(a.name);
        else ++optional;
    }
    args_.ExpectPositional(required, optional);
    ReadValues();
}

// The common options are read first: a bundle or folder given empty is named before the rest.
void OptionValues::ReadValues() {
    for (std::span<const Option> table : {common_, command_.options})
        for (const Option& o : table) {
            Value& value = values_[o.name];
            if (args_.Has(o.name)) Parse(o, args_.Value(o.name), &value);
            else if (o.shortName && args_.Has(o.shortName)) Parse(o, args_.Value(o.shortName), &value);
            else if (o.byDefault) Parse(o, o.byDefault, &value);
        }
}

void OptionValues::Parse(const Option& option, const std::string& text, Value* value) {
    switch (option.kind) {
        case OptionKind::Flag: break;
        case OptionKind::Integer:
            value->integer = ParseInteger(option.name, text, long(option.min), long(option.max));
            break;
        case OptionKind::Number: value->number = ParseNumber(option.name, text, option.min, option.max); break;
        case OptionKind::Size: ParseSize(option.name, text, &value->size.width, &value->size.height); break;
        case OptionKind::Numbers:
            value->numbers = ParseNumbers(option.name, text, option.value, option.count, option.min, option.max);
            break;
        case OptionKind::Text:
            if (text.empty()) throw UsageError(std::string(option.name) + " needs " + option.noun);
            value->text = text;
            break;
        case OptionKind::MaybeText: value->text = text; break;
    }
}

const Option& OptionValues::Find(const std::string& name, OptionKind kind) const {
    for (const Option* o : options_)
        if (name == o->name && o->kind == kind) return *o;
    throw std::logic_error("no option " + name + " of that kind in the tables of " + command_.name);
}

bool OptionValues::Present(const Option& option) const {
    return args_.Has(option.name) || (option.shortName && args_.Has(option.shortName));
}

bool OptionValues::Given(const std::string& name) const {
    for (const Option* o : options_)
        if (name == o->name) return Present(*o);
    throw std::logic_error("no option " + name + " in the tables of " + command_.name);
}

// Flags are known as soon as the line is read, before the values are checked.
bool OptionValues::Flag(const std::string& name) const { return Present(Find(name, OptionKind::Flag)); }

const OptionValues::Value& OptionValues::Get(const std::string& name, OptionKind kind) const {
    Find(name, kind);
    auto it = values_.find(name);
    if (it == values_.end()) throw std::logic_error(name + " asked for before the values were read");
    return it->second;
}

long OptionValues::Integer(const std::string& name) const { return Get(name, OptionKind::Integer).integer; }
double OptionValues::Number(const std::string& name) const { return Get(name, OptionKind::Number).number; }
FrameSize OptionValues::Size(const std::string& name) const { return Get(name, OptionKind::Size).size; }
const std::vector<double>& OptionValues::Numbers(const std::string& name) const {
    return Get(name, OptionKind::Numbers).numbers;
}
const std::string& OptionValues::Text(const std::string& name) const {
    for (const Option* o : options_)
        if (name == o->name && o->kind == OptionKind::MaybeText) return Get(name, OptionKind::MaybeText).text;
    return Get(name, OptionKind::Text).text;
}

// ---------------------------------------------------------------------------------------
// Usage texts

namespace {

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = std::min(text.find(' ', start), text.size());
        if (end > start) words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

// `left`, then the words from column `indent` on, wrapped to the page; when `left` reaches
// into that column, the text starts on the next line.
std::string Item(const std::string& left, const std::vector<std::string>& words, std::size_t indent) {
    std::string out = left;
    const auto newLine = [&] { out.append(1, '\n').append(indent, ' '); };
    if (!left.empty() && left.size() + 2 > indent) newLine();
    else out.append(indent - left.size(), ' ');
    std::size_t used = indent;
    for (const std::string& word : words) {
        if (used > indent && used + 1 + word.size() > kTextWidth) newLine(), used = indent;
        if (used > indent) out.append(1, ' '), ++used;
        out.append(word);
        used += word.size();
    }
    return out.append(1, '\n');
}

std::string Paragraphs(const std::string& text) {
    std::string out;
    if (text.empty()) return out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = std::min(text.find('\n', start), text.size());
        if (start > 0) out.append(1, '\n');  // a blank line between paragraphs
        out.append(Item("", Words(text.substr(start, end - start)), 0));
        start = end + 1;
    }
    return out;
}

// The help, then the default; "(default: 0)" is never broken across lines.
std::vector<std::string> Help(const Option& o) {
    std::vector<std::string> words = Words(o.help);
    const char* byDefault = o.defaultNote ? o.defaultNote : o.byDefault;
    if (byDefault == nullptr) return words;
    std::vector<std::string> tail = Words(std::string(byDefault) + ")");
    tail.front().insert(0, "(default: ");
    words.insert(words.end(), tail.begin(), tail.end());
    return words;
}

std::string Synopsis(const Command& command) {
    std::string out = std::string("usage: tonefade-host ") + command.name;
    for (const Argument& a : command.arguments)
        out.append(a.required ? " " : " [").append(a.name).append(a.required ? "" : "]");
    return out.append(" [options]\n");
}

}  // namespace

std::string UsageItem(const std::string& left, const std::string& text, std::size_t indent) {
    return Item(left, Words(text), indent);
}

std::string OptionSynopsis(const Option& option) {
    std::string names = option.shortName ? std::string(option.shortName) + ", " + option.name : option.name;
    if (option.kind == OptionKind::MaybeText) return names + " [" + option.value + "]";
    return *option.value ? names + " " + option.value : names;
}

std::string Usage(const Command& command, std::span<const Option> common) {
    std::size_t column = 0;
    for (const Option* o : Join(command.options, common)) column = std::max(column, OptionSynopsis(*o).size());
    for (const Argument& a : command.arguments) column = std::max(column, std::string(a.name).size());
    column = std::min<std::size_t>(column + 4, 24);
    std::string out = Synopsis(command) + "\n" + Paragraphs(command.description);
    if (!command.arguments.empty()) out += "\n";
    for (const Argument& a : command.arguments) out += Item(std::string("  ") + a.name, Words(a.help), column);
    if (!command.options.empty()) out += "\nOptions:\n";
    for (const Option& o : command.options) out += Item("  " + OptionSynopsis(o), Help(o), column);
    out += "\nOptions of every command:\n";
    for (const Option& o : common) out += Item("  " + OptionSynopsis(o), Help(o), column);
    return out;
}

}  // namespace host
