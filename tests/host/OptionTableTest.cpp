// The commands' option tables: every option of every command is in the command's usage
// text and in docs/HOST.md, is read from a command line as its kind, takes its default
// and refuses a value outside its range; the program prints the tables' usage texts.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "support/HostHarness.h"
#include "Commands.h"
#include "HostJob.h"

namespace {

using host::Command;
using host::Option;
using host::OptionKind;

std::string Repeat(const std::string& item, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += (i ? "," : "") + item;
    return out;
}

// A value the option must take, and one it must refuse.
std::pair<std::string, std::string> Values(const Option& o) {
    std::ostringstream max, beyond;
    max << o.max;
    beyond << o.max * 2 + 1;
    switch (o.kind) {
        case OptionKind::Integer: return {std::to_string(long(o.max)), std::to_string(long(o.max) + 1)};
        case OptionKind::Number: return {max.str(), beyond.str()};
        case OptionKind::Size: return {"640x360", "640"};
        case OptionKind::Numbers: return {Repeat(max.str(), o.count), Repeat(max.str(), o.count + 1)};
        case OptionKind::Text: return {"x", ""};
        case OptionKind::MaybeText: return {"-", ""};  // nothing to refuse: alone, it is given without a text
        case OptionKind::Flag: break;
    }
    return {"", ""};
}

// The command line "tonefade-host COMMAND ARGUMENTS... WORDS...", read against the tables.
host::OptionValues Parse(const Command& command, std::vector<std::string> words) {
    std::vector<std::string> line{"tonefade-host", command.name};
    for (const host::Argument& a : command.arguments) line.push_back(a.name);
    line.insert(line.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& word : line) argv.push_back(word.data());
    return host::OptionValues(command, host::CommonOptionTable(), int(argv.size()), argv.data(), 2);
}

// Why the command line was refused; empty when it was not.
std::string Refusal(const Command& command, const std::vector<std::string>& words) {
    try {
        Parse(command, words);
        return "";
    } catch (const host::UsageError& e) {
        return e.what();
    }
}

void ExpectRead(const Command& command, const Option& o, const std::vector<std::string>& words) {
    const std::string why = Refusal(command, words);
    ASSERT_EQ(why, "") << "refused";
    const host::OptionValues values = Parse(command, words);
    switch (o.kind) {
        case OptionKind::Flag: EXPECT_TRUE(values.Flag(o.name)); break;
        case OptionKind::Integer: EXPECT_EQ(values.Integer(o.name), long(o.max)); break;
        case OptionKind::Number: EXPECT_DOUBLE_EQ(values.Number(o.name), o.max); break;
        case OptionKind::Size:
            EXPECT_EQ(values.Size(o.name).width, 640);
            EXPECT_EQ(values.Size(o.name).height, 360);
            break;
        case OptionKind::Numbers:
            EXPECT_EQ(values.Numbers(o.name), std::vector<double>(std::size_t(o.count), o.max));
            break;
        case OptionKind::Text: EXPECT_EQ(values.Text(o.name), words.back()); break;
        case OptionKind::MaybeText: EXPECT_EQ(values.Text(o.name), words.size() > 1 ? words.back() : ""); break;
    }
    EXPECT_TRUE(values.Given(o.name)) << command.name << " " << o.name;
}

std::string HostDoc() {
    std::ifstream in(std::string(std::getenv("TONEFADE_SOURCE_DIR")) + "/docs/HOST.md");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// True when `text` has `name` as a whole option name (--frame is not found in --frames).
bool Mentions(const std::string& text, const std::string& name) {
    for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
        const char next = at + name.size() < text.size() ? text[at + name.size()] : ' ';
        if (!std::isalnum(static_cast<unsigned char>(next)) && next != '-') return true;
    }
    return false;
}

TEST(OptionTables, EveryOptionIsDocumentedReadAndChecked) {
    const std::string doc = HostDoc();
    ASSERT_FALSE(doc.empty());
    for (const Command* command : host::Commands()) {
        const std::string usage = host::Usage(*command, host::CommonOptionTable());
        EXPECT_EQ(Refusal(*command, {}), "") << command->name << ": a default outside its own range";
        std::set<std::string> seen;
        std::vector<const Option*> all;
        for (const Option& o : command->options) all.push_back(&o);
        for (const Option& o : host::CommonOptionTable()) all.push_back(&o);
        for (const Option* o : all) {
            SCOPED_TRACE(std::string(command->name) + " " + o->name);
            EXPECT_TRUE(seen.insert(o->name).second) << "named twice";
            EXPECT_TRUE(Mentions(usage, "  " + host::OptionSynopsis(*o))) << usage;
            EXPECT_TRUE(Mentions(doc, o->name)) << "not in docs/HOST.md";
            if (o->kind == OptionKind::Flag) {
                ExpectRead(*command, *o, {o->name});
                if (o->shortName) ExpectRead(*command, *o, {o->shortName});
                continue;
            }
            const auto [good, bad] = Values(*o);
            ExpectRead(*command, *o, {o->name, good});
            if (o->kind == OptionKind::MaybeText) {
                ExpectRead(*command, *o, {o->name});
                continue;
            }
            const std::string why = Refusal(*command, {o->name + std::string("=") + bad});
            EXPECT_EQ(why.rfind(o->name + std::string(" "), 0), 0u) << "'" << bad << "': " << why;
        }
    }
}

TEST(OptionTables, TheProgramPrintsTheirUsage) {
    hosttest::RunResult program = hosttest::Host({"--help"});
    EXPECT_EQ(program.status, 0);
    EXPECT_EQ(program.out, host::ProgramUsage());
    for (const Command* command : host::Commands()) {
        EXPECT_TRUE(Mentions(program.out, std::string("  ") + command->name)) << program.out;
        hosttest::RunResult help = hosttest::Host({command->name, "--help"});
        EXPECT_EQ(help.status, 0) << help.err;
        EXPECT_EQ(help.out, host::Usage(*command, host::CommonOptionTable())) << command->name;
        EXPECT_EQ(hosttest::Host({command->name, "-h"}).out, help.out) << command->name;
    }
}

}  // namespace
