// Bytes of the resource, file and preferences tests: handles made from bytes, Pascal
// strings, and a hand-built resource file whose every byte is laid out here rather than
// by the code under test.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Carbon.h"
#include "support/Files.h"

namespace restest {

using testsupport::Bytes;

inline Handle MakeHandle(const Bytes& bytes) {
    Handle h = NewHandle(Size(bytes.size()));
    if (h && !bytes.empty()) std::memcpy(*h, bytes.data(), bytes.size());
    return h;
}

inline Bytes HandleBytes(Handle h) {
    if (h == nullptr) return {};
    auto* p = reinterpret_cast<const UInt8*>(*h);
    return Bytes(p, p + GetHandleSize(h));
}

// A Pascal string that lives as long as the returned object.
struct Pascal {
    explicit Pascal(const std::string& s) {
        text[0] = UInt8(s.size());
        std::memcpy(text + 1, s.data(), s.size());
    }
    unsigned char text[256] = {};
    operator const unsigned char*() const { return text; }
};

inline std::string FromPascal(const unsigned char* p) { return std::string(reinterpret_cast<const char*>(p + 1), p[0]); }

struct Resource {
    ResType type;
    ResID id;
    std::string name;  // "" for none
    Bytes data;
};

// A new resource file at `path` holding `resources`, made with the Resource Manager and
// closed again.
inline FSSpec MakeResourceFile(const std::string& path, const std::vector<Resource>& resources,
                               OSType creator = FOUR_CHAR_CODE("test"), OSType fileType = FOUR_CHAR_CODE("rsrc")) {
    FSSpec fileSpec;
    toolbox::PathToFSSpec(path, &fileSpec);
    FSpCreateResFile(&fileSpec, creator, fileType, smSystemScript);
    EXPECT_EQ(ResError(), noErr) << path;
    const ResFileRefNum refNum = FSpOpenResFile(&fileSpec, fsRdWrPerm);
    EXPECT_NE(refNum, -1) << path;
    for (const Resource& r : resources) AddResource(MakeHandle(r.data), r.type, r.id, Pascal(r.name));
    CloseResFile(refNum);
    EXPECT_EQ(ResError(), noErr) << path;
    return fileSpec;
}

inline void PutBE(Bytes& b, std::size_t at, UInt32 value, int width) {
    for (int i = 0; i < width; ++i) b[at + std::size_t(i)] = UInt8(value >> (8 * (width - 1 - i)));
}

inline UInt32 GetBE(const Bytes& b, std::size_t at, int width) {
    UInt32 v = 0;
    for (int i = 0; i < width; ++i) v = v << 8 | b[at + std::size_t(i)];
    return v;
}

// A resource file laid out by hand: two types, 'STR#' with ids 128 (named "ab") and
// 129 (no name), and 'TEXT' 5. Offsets below are those of this layout.
struct HandMadeFile {
    static constexpr std::size_t kDataOffset = 16, kDataLength = 32, kMapOffset = 48;
    static constexpr std::size_t kTypeList = kMapOffset + 28;   // map-relative 28
    static constexpr std::size_t kRefLists = kTypeList + 2 + 16;
    static constexpr std::size_t kNameList = kRefLists + 36;
    static constexpr std::size_t kMapLength = kNameList + 3 - kMapOffset;

    static Bytes Make() {
        Bytes b(kMapOffset + kMapLength, 0);
        PutBE(b, 0, kDataOffset, 4);
        PutBE(b, 4, kMapOffset, 4);
        PutBE(b, 8, kDataLength, 4);
        PutBE(b, 12, kMapLength, 4);
        // Data: "\x02hi" list (8 bytes incl. length), "\x00\x00" empty list (6), "TEXT!" (9), pad.
        const UInt8 data[] = {0, 0, 0, 5, 0, 1, 2, 'h', 'i',  //
                              0, 0, 0, 2, 0, 0,               //
                              0, 0, 0, 5, 'T', 'E', 'X', 'T', '!'};
        std::memcpy(&b[kDataOffset], data, sizeof data);
        PutBE(b, kMapOffset + 24, UInt32(kTypeList - kMapOffset), 2);
        PutBE(b, kMapOffset + 26, UInt32(kNameList - kMapOffset), 2);
        PutBE(b, kTypeList, 1, 2);  // two types
        PutType(b, 0, FOUR_CHAR_CODE("STR#"), 2, kRefLists);
        PutType(b, 1, FOUR_CHAR_CODE("TEXT"), 1, kRefLists + 24);
        PutRef(b, 0, 128, 0, 0x20, 0);
        PutRef(b, 1, 129, 0xFFFF, 0, 9);
        PutRef(b, 2, 5, 0xFFFF, 0, 15);
        b[kNameList] = 2;
        b[kNameList + 1] = 'a';
        b[kNameList + 2] = 'b';
        return b;
    }
    static void PutType(Bytes& b, std::size_t index, ResType type, UInt32 count, std::size_t refList) {
        std::size_t at = kTypeList + 2 + 8 * index;
        PutBE(b, at, type, 4);
        PutBE(b, at + 4, count - 1, 2);
        PutBE(b, at + 6, UInt32(refList - kTypeList), 2);
    }
    static std::size_t RefAt(std::size_t index) { return kRefLists + 12 * index; }
    static void PutRef(Bytes& b, std::size_t index, UInt32 id, UInt32 nameOffset, UInt8 attrs, UInt32 dataOffset) {
        std::size_t at = RefAt(index);
        PutBE(b, at, id, 2);
        PutBE(b, at + 2, nameOffset, 2);
        b[at + 4] = attrs;
        PutBE(b, at + 5, dataOffset, 3);
    }
};

}  // namespace restest
