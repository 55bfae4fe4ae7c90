// String lists. The count and every length byte are checked against the resource's
// size, since the bytes come from a file that anyone may have written.
#include "resources/StringLists.h"

#include <cstring>

#include "memory/MacMemory.h"
#include "resources/Resources.h"

namespace toolbox {

std::optional<std::vector<std::string>> ParseStringList(std::span<const UInt8> data) {
    if (data.size() < 2) return std::nullopt;
    std::size_t count = std::size_t(data[0]) << 8 | data[1];
    std::size_t at = 2;
    std::vector<std::string> strings;
    for (std::size_t i = 0; i < count; ++i) {
        if (at >= data.size() || at + 1 + data[at] > data.size()) return std::nullopt;
        strings.emplace_back(reinterpret_cast<const char*>(data.data() + at + 1), data[at]);
        at += 1 + data[at];
    }
    if (at != data.size()) return std::nullopt;
    return strings;
}

std::optional<std::vector<UInt8>> BuildStringList(const std::vector<std::string>& strings) {
    if (strings.size() > 0x7FFF) return std::nullopt;
    std::vector<UInt8> data{UInt8(strings.size() >> 8), UInt8(strings.size())};
    for (const std::string& s : strings) {
        if (s.size() > 255) return std::nullopt;
        data.push_back(UInt8(s.size()));
        data.insert(data.end(), s.begin(), s.end());
    }
    return data;
}

}  // namespace toolbox

void GetIndString(Str255 theString, SInt16 strListID, SInt16 index) {
    if (theString == nullptr) return;
    theString[0] = 0;
    Handle list = GetResource(kStringListResourceType, strListID);
    if (list == nullptr || index < 1) return;
    Size size = GetHandleSize(list);
    auto bytes = std::span<const UInt8>(reinterpret_cast<const UInt8*>(*list), std::size_t(size > 0 ? size : 0));
    auto strings = toolbox::ParseStringList(bytes);
    if (!strings || std::size_t(index) > strings->size()) return;
    const std::string& s = (*strings)[std::size_t(index) - 1];
    theString[0] = UInt8(s.size());
    std::memcpy(theString + 1, s.data(), s.size());
}
