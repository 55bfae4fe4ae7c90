// The resource-fork layout: a hand-made file read field by field, exact bytes written,
// round trips, the limits of the format, and a table of damaged files that must be refused.
#include <gtest/gtest.h>

#include <functional>

#include "resources/ResourceFormat.h"
#include "support/ResourceBytes.h"

namespace {

using restest::Bytes;
using restest::GetBE;
using restest::HandMadeFile;
using restest::PutBE;
namespace resfork = toolbox::resfork;

TEST(ResourceFormat, ReadsAHandMadeFileFieldByField) {
    resfork::Image image;
    ASSERT_EQ(resfork::Parse(HandMadeFile::Make(), &image), noErr);
    ASSERT_EQ(image.types.size(), 2u);
    EXPECT_EQ(image.types[0].type, FOUR_CHAR_CODE("STR#"));
    ASSERT_EQ(image.types[0].resources.size(), 2u);
    const auto& named = image.types[0].resources[0];
    EXPECT_EQ(named.id, 128);
    EXPECT_TRUE(named.hasName);
    EXPECT_EQ(named.name, "ab");
    EXPECT_EQ(named.attributes, 0x20);
    EXPECT_EQ(named.data, (Bytes{0, 1, 2, 'h', 'i'}));
    EXPECT_FALSE(image.types[0].resources[1].hasName);
    EXPECT_EQ(image.types[0].resources[1].data, (Bytes{0, 0}));
    EXPECT_EQ(image.types[1].type, FOUR_CHAR_CODE("TEXT"));
    EXPECT_EQ(image.types[1].resources.at(0).data, (Bytes{'T', 'E', 'X', 'T', '!'}));
}

TEST(ResourceFormat, WritesTheClassicLayoutByteForByte) {
    resfork::Image image;
    image.types.push_back({FOUR_CHAR_CODE("Pref"), {{-2, 0x08, true, "N", {0xAB, 0xCD}}}});
    Bytes bytes;
    ASSERT_EQ(resfork::Serialize(image, &bytes), noErr);
    // Header, 240 reserved bytes, data (6), map: 28 header, 2+8 type list, 12 ref, 2 name.
    ASSERT_EQ(bytes.size(), 256u + 6 + 52);
    EXPECT_EQ(GetBE(bytes, 0, 4), 256u);
    EXPECT_EQ(GetBE(bytes, 4, 4), 262u);
    EXPECT_EQ(GetBE(bytes, 8, 4), 6u);
    EXPECT_EQ(GetBE(bytes, 12, 4), 52u);
    EXPECT_EQ(std::count(bytes.begin() + 16, bytes.begin() + 256, 0), 240);
    EXPECT_EQ(Bytes(bytes.begin() + 256, bytes.begin() + 262), (Bytes{0, 0, 0, 2, 0xAB, 0xCD}));
    const std::size_t map = 262;
    EXPECT_EQ(Bytes(bytes.begin() + map, bytes.begin() + map + 16), Bytes(bytes.begin(), bytes.begin() + 16));
    EXPECT_EQ(GetBE(bytes, map + 16, 4), 0u);   // next map handle
    EXPECT_EQ(GetBE(bytes, map + 20, 2), 0u);   // file reference
    EXPECT_EQ(GetBE(bytes, map + 22, 2), 0u);   // attributes
    EXPECT_EQ(GetBE(bytes, map + 24, 2), 28u);  // type list
    EXPECT_EQ(GetBE(bytes, map + 26, 2), 50u);  // name list
    EXPECT_EQ(GetBE(bytes, map + 28, 2), 0u);   // one type, stored minus one
    EXPECT_EQ(GetBE(bytes, map + 30, 4), FOUR_CHAR_CODE("Pref"));
    EXPECT_EQ(GetBE(bytes, map + 34, 2), 0u);   // one resource, minus one
    EXPECT_EQ(GetBE(bytes, map + 36, 2), 10u);  // its list, from the type list
    EXPECT_EQ(GetBE(bytes, map + 38, 2), 0xFFFEu);
    EXPECT_EQ(GetBE(bytes, map + 40, 2), 0u);   // name offset
    EXPECT_EQ(bytes[map + 42], 0x08);
    EXPECT_EQ(GetBE(bytes, map + 43, 3), 0u);   // data offset
    EXPECT_EQ(GetBE(bytes, map + 46, 4), 0u);   // handle
    EXPECT_EQ(bytes[map + 50], 1);
    EXPECT_EQ(bytes[map + 51], 'N');
}

TEST(ResourceFormat, NeverWritesInMemoryStateBits) {
    resfork::Image image;
    image.mapAttributes = 0x0080 | resfork::kMapChangedBit;
    image.types.push_back({FOUR_CHAR_CODE("abcd"), {{1, UInt8(0x10 | resfork::kResChangedBit), false, "", {}}}});
    Bytes bytes;
    ASSERT_EQ(resfork::Serialize(image, &bytes), noErr);
    resfork::Image back;
    ASSERT_EQ(resfork::Parse(bytes, &back), noErr);
    EXPECT_EQ(back.mapAttributes, 0x0080);
    EXPECT_EQ(back.types.at(0).resources.at(0).attributes, 0x10);
}

bool SameImage(const resfork::Image& a, const resfork::Image& b) {
    if (a.types.size() != b.types.size() || a.mapAttributes != b.mapAttributes) return false;
    for (std::size_t t = 0; t < a.types.size(); ++t) {
        const auto &x = a.types[t], &y = b.types[t];
        if (x.type != y.type || x.resources.size() != y.resources.size()) return false;
        for (std::size_t i = 0; i < x.resources.size(); ++i) {
            const auto &r = x.resources[i], &s = y.resources[i];
            if (r.id != s.id || r.hasName != s.hasName || r.name != s.name || r.data != s.data ||
                r.attributes != s.attributes)
                return false;
        }
    }
    return true;
}

TEST(ResourceFormat, RoundTripsVariedImages) {
    resfork::Resource longName{-32768, 0, true, std::string(255, 'x'), Bytes(1000, 7)};
    resfork::Resource empty{32767, 0x40, false, "", {}};
    std::vector<resfork::Image> images = {
        {},
        {0, {{FOUR_CHAR_CODE("STR#"), {longName, empty}}}},
        {0, {{FOUR_CHAR_CODE("a   "), {empty}}, {FOUR_CHAR_CODE("b   "), {longName}}, {0, {empty}}}},
    };
    for (const auto& image : images) {
        Bytes bytes;
        ASSERT_EQ(resfork::Serialize(image, &bytes), noErr);
        resfork::Image back;
        ASSERT_EQ(resfork::Parse(bytes, &back), noErr);
        EXPECT_TRUE(SameImage(image, back));
    }
}

TEST(ResourceFormat, RefusesToWriteWhatItsOffsetsCannotHold) {
    resfork::Image tooMany{0, {{FOUR_CHAR_CODE("many"), {}}}};
    for (int i = 0; i < 5500; ++i) tooMany.types[0].resources.push_back({ResID(i), 0, false, "", {}});
    resfork::Image pastDataOffsets{0, {{FOUR_CHAR_CODE("big "), {}}}};
    pastDataOffsets.types[0].resources.push_back({1, 0, false, "", Bytes(resfork::kMaxDataOffset, 0)});
    pastDataOffsets.types[0].resources.push_back({2, 0, false, "", {1}});
    Bytes bytes{42};
    EXPECT_EQ(resfork::Serialize(tooMany, &bytes), fsDataTooBigErr);
    EXPECT_EQ(resfork::Serialize(pastDataOffsets, &bytes), fsDataTooBigErr);
    EXPECT_EQ(bytes, Bytes{42});
    // The last data offset that fits is accepted.
    pastDataOffsets.types[0].resources[0].data.resize(resfork::kMaxDataOffset - 4);
    EXPECT_EQ(resfork::Serialize(pastDataOffsets, &bytes), noErr);
}

TEST(ResourceFormat, AcceptsDataAndNamesEndingExactlyAtTheirAreaEnd) {
    Bytes b = HandMadeFile::Make();
    // The 'TEXT' data may grow to the end of the data area.
    PutBE(b, HandMadeFile::kDataOffset + 15, 13, 4);
    resfork::Image image;
    ASSERT_EQ(resfork::Parse(b, &image), noErr);
    EXPECT_EQ(image.types[1].resources[0].data.size(), 13u);
}

struct Corruption {
    const char* what;
    std::function<void(Bytes&)> apply;
    OSErr expected = mapReadErr;
};

using H = HandMadeFile;

const Corruption kCorruptions[] = {
    {"empty file", [](Bytes& b) { b.clear(); }, eofErr},
    {"shorter than the header", [](Bytes& b) { b.resize(15); }},
    {"cut inside the map", [](Bytes& b) { b.pop_back(); }},
    {"data offset inside the header", [](Bytes& b) { PutBE(b, 0, 8, 4); }},
    {"map offset inside the header", [](Bytes& b) { PutBE(b, 4, 0, 4); }},
    {"data length past the end", [](Bytes& b) { PutBE(b, 8, 0xFFFFFFF0, 4); }},
    {"map length past the end", [](Bytes& b) { PutBE(b, 12, UInt32(H::kMapLength + 1), 4); }},
    {"map offset past the end", [](Bytes& b) { PutBE(b, 4, 0xFFFFFFFF, 4); }},
    {"map too short for its header", [](Bytes& b) { PutBE(b, 12, 29, 4); }},
    {"data overlapping the map", [](Bytes& b) { PutBE(b, 8, 33, 4); }},
    {"map overlapping the data", [](Bytes& b) { PutBE(b, 4, 40, 4); }},
    {"type list inside the map header", [](Bytes& b) { PutBE(b, H::kMapOffset + 24, 20, 2); }},
    {"type list past the map", [](Bytes& b) { PutBE(b, H::kMapOffset + 24, UInt32(H::kMapLength - 1), 2); }},
    {"name list past the map", [](Bytes& b) { PutBE(b, H::kMapOffset + 26, UInt32(H::kMapLength + 1), 2); }},
    {"name list before the type entries", [](Bytes& b) { PutBE(b, H::kMapOffset + 26, 40, 2); }},
    {"more types than the map holds", [](Bytes& b) { PutBE(b, H::kTypeList, 0xFFFE, 2); }},
    {"more references than the list holds", [](Bytes& b) { PutBE(b, H::kTypeList + 2 + 4, 0xFFFF, 2); }},
    {"reference list inside the type list", [](Bytes& b) { PutBE(b, H::kTypeList + 2 + 6, 2, 2); }},
    {"reference lists sharing entries", [](Bytes& b) { PutBE(b, H::kTypeList + 2 + 8 + 6, 2 + 16 + 12, 2); }},
    {"the same type twice", [](Bytes& b) { PutBE(b, H::kTypeList + 2 + 8, FOUR_CHAR_CODE("STR#"), 4); }},
    {"the same id twice", [](Bytes& b) { PutBE(b, H::RefAt(1), 128, 2); }},
    {"name offset past the map", [](Bytes& b) { PutBE(b, H::RefAt(1) + 2, 3, 2); }},
    {"name length past the map", [](Bytes& b) { b[H::kNameList] = 3; }},
    {"data offset past the data area", [](Bytes& b) { PutBE(b, H::RefAt(2) + 5, 29, 3); }},
    {"data length past the data area", [](Bytes& b) { PutBE(b, H::kDataOffset + 15, 14, 4); }},
    {"data length wrapping around", [](Bytes& b) { PutBE(b, H::kDataOffset + 15, 0xFFFFFFFF, 4); }},
    {"two resources sharing data", [](Bytes& b) { PutBE(b, H::RefAt(1) + 5, 0, 3); }},
    {"two resources sharing a name", [](Bytes& b) { PutBE(b, H::RefAt(1) + 2, 0, 2); }},
};

TEST(ResourceFormat, RefusesEveryDamagedFileAndLeavesTheImageAlone) {
    for (const auto& c : kCorruptions) {
        SCOPED_TRACE(c.what);
        Bytes b = HandMadeFile::Make();
        c.apply(b);
        resfork::Image image;
        image.mapAttributes = 0x1234;  // untouched on refusal
        EXPECT_EQ(resfork::Parse(b, &image), c.expected);
        EXPECT_EQ(image.mapAttributes, 0x1234);
        EXPECT_TRUE(image.types.empty());
    }
}

TEST(ResourceFormat, RefusesEveryTruncationOfAValidFile) {
    const Bytes whole = HandMadeFile::Make();
    for (std::size_t size = 0; size < whole.size(); ++size) {
        resfork::Image image;
        EXPECT_NE(resfork::Parse(Bytes(whole.begin(), whole.begin() + std::ptrdiff_t(size)), &image), noErr)
            << "size " << size;
    }
}

}  // namespace
