// tonefade-rez: the build step that compiles the bundle's string lists from their text
// source (Tonefade.r.txt) into a resource file, written with the toolbox's own Resource
// Manager. Every text is checked against its field's limit here, at build time.
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "corefoundation/CFString.h"
#include "files/Files.h"
#include "memory/MacMemory.h"
#include "resources/Resources.h"
#include "resources/StringLists.h"

namespace {

bool Fail(std::string* error, const std::string& message) {
    *error = message;
    return false;
}

struct StringListSource {
    ResID id = 0;
    std::string name;
    std::size_t maxLength = 255;
    std::vector<std::string> strings;  // Mac Roman
};

// Reads a text in double quotes at `pos`, with \" and \\ as the only escapes.
bool ParseQuoted(const std::string& line, std::size_t* pos, std::string* out, std::string* error) {
    if (*pos >= line.size() || line[*pos] != '"') return Fail(error, "expected a text in double quotes");
    out->clear();
    for (std::size_t i = *pos + 1; i < line.size(); ++i) {
        if (line[i] == '"') {
            *pos = i + 1;
            return true;
        }
        if (line[i] == '\\') {
            if (++i == line.size() || (line[i] != '"' && line[i] != '\\'))
                return Fail(error, "only \\\" and \\\\ may follow a backslash");
        }
        *out += line[i];
    }
    return Fail(error, "the text has no closing double quote");
}

void SkipSpaces(const std::string& line, std::size_t* pos) {
    while (*pos < line.size() && (line[*pos] == ' ' || line[*pos] == '\t')) ++*pos;
}

std::string Word(const std::string& line, std::size_t* pos) {
    SkipSpaces(line, pos);
    std::size_t start = *pos;
    while (*pos < line.size() && line[*pos] != ' ' && line[*pos] != '\t' && line[*pos] != '"') ++*pos;
    return line.substr(start, *pos - start);
}

bool ParseNumber(const std::string& word, long low, long high, long* value) {
    char* end = nullptr;
    *value = std::strtol(word.c_str(), &end, 10);
    return !word.empty() && *end == '\0' && *value >= low && *value <= high;
}

// resource 'STR#' ID ["name"] [max N]
bool ParseHeader(const std::string& line, StringListSource* list, std::string* error) {
    std::size_t pos = 0;
    long number = 0;
    if (Word(line, &pos) != "resource") return Fail(error, "expected 'resource', a text or 'end'");
    if (Word(line, &pos) != "'STR#'") return Fail(error, "only 'STR#' string lists are supported");
    if (!ParseNumber(Word(line, &pos), -32768, 32767, &number)) return Fail(error, "expected a resource id");
    list->id = ResID(number);
    SkipSpaces(line, &pos);
    if (pos < line.size() && line[pos] == '"' && !ParseQuoted(line, &pos, &list->name, error)) return false;
    std::string word = Word(line, &pos);
    if (word == "max") {
        if (!ParseNumber(Word(line, &pos), 0, 255, &number)) return Fail(error, "max takes a length from 0 to 255");
        list->maxLength = std::size_t(number);
        word = Word(line, &pos);
    }
    if (!word.empty()) return Fail(error, "unexpected '" + word + "'");
    return true;
}

bool ParseEntry(const std::string& line, StringListSource* list, std::string* error) {
    std::size_t pos = 0;
    std::string text;
    if (!ParseQuoted(line, &pos, &text, error)) return false;
    SkipSpaces(line, &pos);
    if (pos != line.size()) return Fail(error, "unexpected text after the closing quote");
    bool lossless = false;
    std::string roman = toolbox::UTF8ToMacRoman(text, &lossless);
    if (!lossless) return Fail(error, "\"" + text + "\" has characters that Mac Roman cannot hold");
    if (roman.size() > list->maxLength)
        return Fail(error, "\"" + text + "\" is longer than " + std::to_string(list->maxLength) + " characters");
    list->strings.push_back(roman);
    return true;
}

std::string Trimmed(const std::string& line) {
    std::size_t begin = line.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return std::string();
    return line.substr(begin, line.find_last_not_of(" \t\r") - begin + 1);
}

bool ParseSource(std::istream& in, std::vector<StringListSource>* lists, std::string* error) {
    std::set<ResID> ids;
    bool open = false;
    std::string raw;
    for (int number = 1; std::getline(in, raw); ++number) {
        std::string line = Trimmed(raw);
        bool ok = true;
        if (line.empty() || line[0] == '#') continue;
        if (!open) {
            lists->emplace_back();
            ok = ParseHeader(line, &lists->back(), error);
            if (ok && !ids.insert(lists->back().id).second) ok = Fail(error, "a second list with this id");
            open = ok;
        } else if (line == "end") {
            open = false;
        } else {
            ok = ParseEntry(line, &lists->back(), error);
        }
        if (!ok) return Fail(error, "line " + std::to_string(number) + ": " + *error);
    }
    if (open) return Fail(error, "the last list has no 'end'");
    return true;
}

bool AddList(const StringListSource& list, std::string* error) {
    auto data = toolbox::BuildStringList(list.strings);
    Handle h = data ? NewHandle(Size(data->size())) : nullptr;
    if (h == nullptr) return Fail(error, "cannot make list " + std::to_string(list.id));
    std::memcpy(*h, data->data(), data->size());
    Str255 name;
    name[0] = UInt8(std::min<std::size_t>(list.name.size(), 255));
    std::memcpy(name + 1, list.name.data(), name[0]);
    AddResource(h, kStringListResourceType, list.id, name);
    if (ResError() == noErr) return true;
    DisposeHandle(h);
    return Fail(error, "cannot add list " + std::to_string(list.id) + " (" + std::to_string(ResError()) + ")");
}

bool WriteResourceFile(const std::string& output, const std::vector<StringListSource>& lists, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(output).parent_path(), ec);
    std::filesystem::remove(output, ec);  // a fresh file, never a merge with an old one
    FSSpec fileSpec;
    OSErr err = toolbox::PathToFSSpec(output, &fileSpec);
    if (err != fnfErr) return Fail(error, "cannot name " + output + " (" + std::to_string(err) + ")");
    FSpCreateResFile(&fileSpec, FOUR_CHAR_CODE("qvl "), FOUR_CHAR_CODE("rsrc"), smSystemScript);
    ResFileRefNum refNum = ResError() == noErr ? FSpOpenResFile(&fileSpec, fsRdWrPerm) : -1;
    if (refNum == -1) return Fail(error, "cannot create " + output + " (" + std::to_string(ResError()) + ")");
    bool ok = true;
    {
        toolbox::SaveResFile keepCurrent;
        UseResFile(refNum);
        for (const auto& list : lists) ok = ok && AddList(list, error);
    }
    if (ok) UpdateResFile(refNum);
    if (ok && ResError() != noErr) ok = Fail(error, "cannot write " + output);
    CloseResFile(refNum);
    return ok;
}

}  // namespace

int main(int argc, char** argv) try {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tonefade-rez SOURCE OUTPUT\n"
                             "Compiles the string lists of SOURCE into the resource file OUTPUT.\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "tonefade-rez: cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<StringListSource> lists;
    std::string error;
    if (!ParseSource(in, &lists, &error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    if (!WriteResourceFile(argv[2], lists, &error)) {
        std::fprintf(stderr, "tonefade-rez: %s\n", error.c_str());
        std::error_code ignored;
        std::filesystem::remove(argv[2], ignored);
        return 1;
    }
    return 0;
} catch (const std::exception& e) {
    // The last resort: one line and a failed step, never an abort.
    std::fprintf(stderr, "tonefade-rez: %s\n", e.what());
    return 1;
} catch (...) {
    std::fprintf(stderr, "tonefade-rez: an unknown error\n");
    return 1;
}
