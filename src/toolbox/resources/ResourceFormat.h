// ResourceFormat: the classic resource-fork layout, in memory and as bytes. Reading
// checks every offset, length and count against the bytes before it uses them, so a
// damaged file is refused rather than half read; writing lays out a fresh file.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "MacTypes.h"

namespace toolbox::resfork {

// Layout constants; every multi-byte field of a resource file is big-endian.
constexpr std::size_t kHeaderSize = 16;       // data offset, map offset, data length, map length
constexpr std::size_t kMapHeaderSize = 28;    // header copy, next map, file ref, attributes, two offsets
constexpr std::size_t kTypeEntrySize = 8;     // type, count - 1, offset of its reference list
constexpr std::size_t kRefEntrySize = 12;     // id, name offset, attributes, 3-byte data offset, handle
constexpr UInt32 kWrittenDataOffset = 256;    // classic files keep 240 bytes for system and application use
constexpr UInt32 kMaxDataOffset = 0xFFFFFF;   // reference lists hold data offsets in 24 bits
// The largest resource file read or written: 32 MiB, the 16 MiB that the 24-bit data
// offsets reach and as much again for the data of the last resource and the map. A
// larger file is refused before a byte of it is read.
constexpr std::size_t kMaxFileSize = 32u << 20;
constexpr UInt16 kNoName = 0xFFFF;

// Attribute bits that describe the in-memory state and are never written.
constexpr UInt8 kResChangedBit = 0x02;
constexpr UInt16 kMapChangedBit = 0x0020;

struct Resource {
    ResID id = 0;
    UInt8 attributes = 0;
    bool hasName = false;
    std::string name;  // Mac Roman bytes, at most 255
    std::vector<UInt8> data;
};

struct ResourceType {
    ResType type = 0;
    std::vector<Resource> resources;  // in file order
};

struct Image {
    UInt16 mapAttributes = 0;
    std::vector<ResourceType> types;  // in file order
};

// noErr, eofErr for an empty file, fsDataTooBigErr past kMaxFileSize, mapReadErr for
// anything damaged: a header that does not fit the file, overlapping areas, lists or
// names running past the map, counts larger than their lists, duplicate types or ids,
// data shared between resources.
OSErr Parse(std::span<const UInt8> bytes, Image* image);

// The file's bytes. Types without resources are left out. fsDataTooBigErr when the
// resources do not fit the format's 16-bit and 24-bit offsets or kMaxFileSize.
OSErr Serialize(const Image& image, std::vector<UInt8>* bytes);

}  // namespace toolbox::resfork
