// ResourceFormat. The reader never trusts a number from the file: each one is compared
// with the bounds it must keep before any byte it names is read. Sizes are computed in
// 64 bits so that no sum of file values can wrap.
#include "resources/ResourceFormat.h"

#include <algorithm>
#include <set>

namespace toolbox::resfork {
namespace {

UInt16 Get16(std::span<const UInt8> b, std::size_t at) { return UInt16(b[at] << 8 | b[at + 1]); }
UInt32 Get24(std::span<const UInt8> b, std::size_t at) { return UInt32(b[at]) << 16 | UInt32(b[at + 1]) << 8 | b[at + 2]; }
UInt32 Get32(std::span<const UInt8> b, std::size_t at) { return UInt32(Get16(b, at)) << 16 | Get16(b, at + 2); }

// Where the parts of a file lie, as absolute offsets into it, once checked.
struct Layout {
    UInt64 dataStart = 0, dataEnd = 0;
    UInt64 mapStart = 0, mapEnd = 0;
    UInt64 typeList = 0;        // the type count; entries follow it
    UInt64 typeEntriesEnd = 0;
    UInt64 nameList = 0;
    UInt16 attributes = 0;
};

struct TypeEntry {
    ResType type;
    UInt64 count;
    UInt64 refStart;
};

struct Interval {
    UInt64 begin, end;
};

bool AllDisjoint(std::vector<Interval> intervals) {
    std::sort(intervals.begin(), intervals.end(), [](auto& a, auto& b) { return a.begin < b.begin; });
    for (std::size_t i = 1; i < intervals.size(); ++i)
        if (intervals[i].begin < intervals[i - 1].end) return false;
    return true;
}

OSErr ReadHeader(std::span<const UInt8> b, Layout* l) {
    if (b.empty()) return eofErr;
    if (b.size() < kHeaderSize) return mapReadErr;
    UInt64 dataOffset = Get32(b, 0), mapOffset = Get32(b, 4);
    UInt64 dataLength = Get32(b, 8), mapLength = Get32(b, 12);
    if (dataOffset < kHeaderSize || mapOffset < kHeaderSize || mapLength < kMapHeaderSize + 2) return mapReadErr;
    if (dataOffset + dataLength > b.size() || mapOffset + mapLength > b.size()) return mapReadErr;
    if (dataOffset < mapOffset + mapLength && mapOffset < dataOffset + dataLength) return mapReadErr;
    *l = Layout{dataOffset, dataOffset + dataLength, mapOffset, mapOffset + mapLength};
    UInt64 typeListOffset = Get16(b, mapOffset + 24), nameListOffset = Get16(b, mapOffset + 26);
    if (typeListOffset < kMapHeaderSize || typeListOffset + 2 > mapLength || nameListOffset > mapLength)
        return mapReadErr;
    l->attributes = Get16(b, mapOffset + 22);
    l->typeList = mapOffset + typeListOffset;
    l->nameList = mapOffset + nameListOffset;
    return noErr;
}

// Map header, type list, reference lists and name list must follow one another in
// that order, and no two reference lists may share an entry.
OSErr ReadTypeList(std::span<const UInt8> b, Layout* l, std::vector<TypeEntry>* types) {
    UInt64 typeCount = (UInt64(Get16(b, l->typeList)) + 1) & 0xFFFF;
    l->typeEntriesEnd = l->typeList + 2 + kTypeEntrySize * typeCount;
    if (l->typeEntriesEnd > l->mapEnd || l->nameList < l->typeEntriesEnd) return mapReadErr;
    std::set<ResType> seen;
    std::vector<Interval> lists;
    for (UInt64 i = 0; i < typeCount; ++i) {
        UInt64 at = l->typeList + 2 + kTypeEntrySize * i;
        TypeEntry entry{Get32(b, at), UInt64(Get16(b, at + 4)) + 1, l->typeList + Get16(b, at + 6)};
        UInt64 refEnd = entry.refStart + kRefEntrySize * entry.count;
        if (entry.refStart < l->typeEntriesEnd || refEnd > l->nameList) return mapReadErr;
        if (!seen.insert(entry.type).second) return mapReadErr;
        lists.push_back({entry.refStart, refEnd});
        types->push_back(entry);
    }
    return AllDisjoint(std::move(lists)) ? noErr : mapReadErr;
}

struct Spans {
    std::vector<Interval> data, names;
};

OSErr ReadReference(std::span<const UInt8> b, const Layout& l, UInt64 at, Resource* r, Spans* spans) {
    r->id = ResID(Get16(b, at));
    UInt16 nameOffset = Get16(b, at + 2);
    r->attributes = b[at + 4];
    UInt64 data = l.dataStart + Get24(b, at + 5);
    if (nameOffset != kNoName) {
        UInt64 name = l.nameList + nameOffset;
        if (name + 1 > l.mapEnd || name + 1 + b[name] > l.mapEnd) return mapReadErr;
        r->hasName = true;
        r->name.assign(reinterpret_cast<const char*>(b.data() + name + 1), b[name]);
        spans->names.push_back({name, name + 1 + b[name]});
    }
    if (data + 4 > l.dataEnd) return mapReadErr;
    UInt64 length = Get32(b, data);
    if (data + 4 + length > l.dataEnd) return mapReadErr;
    spans->data.push_back({data, data + 4 + length});
    r->data.assign(b.data() + data + 4, b.data() + data + 4 + length);
    return noErr;
}

OSErr ReadResources(std::span<const UInt8> b, const Layout& l, const TypeEntry& entry, ResourceType* type,
                    Spans* spans) {
    type->type = entry.type;
    std::set<ResID> ids;
    for (UInt64 i = 0; i < entry.count; ++i) {
        Resource r;
        if (OSErr err = ReadReference(b, l, entry.refStart + kRefEntrySize * i, &r, spans); err != noErr) return err;
        if (!ids.insert(r.id).second) return mapReadErr;
        type->resources.push_back(std::move(r));
    }
    return noErr;
}

// Appends big-endian values.
struct Writer {
    std::vector<UInt8>& out;
    void Put16(UInt32 v) {
        out.push_back(UInt8(v >> 8));
        out.push_back(UInt8(v));
    }
    void Put24(UInt32 v) {
        out.push_back(UInt8(v >> 16));
        Put16(v & 0xFFFF);
    }
    void Put32(UInt32 v) {
        Put16(v >> 16);
        Put16(v & 0xFFFF);
    }
    void Set32(std::size_t at, UInt32 v) {
        for (int i = 0; i < 4; ++i) out[at + std::size_t(i)] = UInt8(v >> (24 - 8 * i));
    }
};

// The layout's limits: 16-bit offsets inside the map, 24-bit data offsets, counts
// stored minus one, and a file small enough to be read back.
bool FitsFormat(const std::vector<const ResourceType*>& types, UInt64 refs, UInt64 names, UInt64 data) {
    UInt64 nameListOffset = kMapHeaderSize + 2 + kTypeEntrySize * types.size() + kRefEntrySize * refs;
    if (types.size() > 0x10000 || nameListOffset > 0xFFFF || names > 0xFFFF) return false;
    for (const ResourceType* t : types)
        if (t->resources.size() > 0x10000) return false;
    UInt64 total = kWrittenDataOffset + data + nameListOffset + names;
    return total <= kMaxFileSize;
}

void WriteData(const std::vector<const ResourceType*>& types, Writer& w, std::vector<UInt32>* offsets) {
    for (const ResourceType* t : types)
        for (const Resource& r : t->resources) {
            offsets->push_back(UInt32(w.out.size() - kWrittenDataOffset));
            w.Put32(UInt32(r.data.size()));
            w.out.insert(w.out.end(), r.data.begin(), r.data.end());
        }
}

void WriteMap(const std::vector<const ResourceType*>& types, const std::vector<UInt32>& offsets, UInt16 attributes,
              Writer& w) {
    std::size_t mapStart = w.out.size();
    w.out.resize(mapStart + 22, 0);  // header copy (filled in later), next map, file ref
    w.Put16(attributes & ~kMapChangedBit);
    UInt32 refListsStart = UInt32(2 + kTypeEntrySize * types.size());
    UInt32 refs = UInt32(offsets.size());
    w.Put16(UInt32(kMapHeaderSize));
    w.Put16(UInt32(kMapHeaderSize + refListsStart + kRefEntrySize * refs));
    w.Put16(UInt32(types.size() - 1) & 0xFFFF);
    UInt32 before = 0;
    for (const ResourceType* t : types) {
        w.Put32(t->type);
        w.Put16(UInt32(t->resources.size() - 1));
        w.Put16(refListsStart + UInt32(kRefEntrySize) * before);
        before += UInt32(t->resources.size());
    }
    std::vector<UInt8> names;
    std::size_t index = 0;
    for (const ResourceType* t : types)
        for (const Resource& r : t->resources) {
            w.Put16(UInt16(r.id));
            w.Put16(r.hasName ? UInt32(names.size()) : kNoName);
            w.out.push_back(r.attributes & ~kResChangedBit);
            w.Put24(offsets[index++]);
            w.Put32(0);
            if (r.hasName) {
                names.push_back(UInt8(r.name.size()));
                names.insert(names.end(), r.name.begin(), r.name.end());
            }
        }
    w.out.insert(w.out.end(), names.begin(), names.end());
}

}  // namespace

OSErr Parse(std::span<const UInt8> bytes, Image* image) {
    if (image == nullptr) return paramErr;
    if (bytes.size() > kMaxFileSize) return fsDataTooBigErr;
    Layout layout;
    std::vector<TypeEntry> entries;
    if (OSErr err = ReadHeader(bytes, &layout); err != noErr) return err;
    if (OSErr err = ReadTypeList(bytes, &layout, &entries); err != noErr) return err;
    Image parsed;
    parsed.mapAttributes = layout.attributes;
    Spans spans;
    for (const TypeEntry& entry : entries) {
        parsed.types.emplace_back();
        if (OSErr err = ReadResources(bytes, layout, entry, &parsed.types.back(), &spans); err != noErr) return err;
    }
    if (!AllDisjoint(std::move(spans.data)) || !AllDisjoint(std::move(spans.names))) return mapReadErr;
    *image = std::move(parsed);
    return noErr;
}

OSErr Serialize(const Image& image, std::vector<UInt8>* bytes) {
    if (bytes == nullptr) return paramErr;
    std::vector<const ResourceType*> types;
    UInt64 refs = 0, names = 0, data = 0;
    for (const ResourceType& t : image.types) {
        if (t.resources.empty()) continue;
        types.push_back(&t);
        for (const Resource& r : t.resources) {
            if (r.name.size() > 255) return ioErr;
            if (data > kMaxDataOffset) return fsDataTooBigErr;
            ++refs;
            names += r.hasName ? 1 + r.name.size() : 0;
            data += 4 + r.data.size();
        }
    }
    if (!FitsFormat(types, refs, names, data)) return fsDataTooBigErr;
    std::vector<UInt8> out(kWrittenDataOffset, 0);
    Writer w{out};
    std::vector<UInt32> offsets;
    WriteData(types, w, &offsets);
    std::size_t mapStart = out.size();
    WriteMap(types, offsets, image.mapAttributes, w);
    UInt32 header[4] = {kWrittenDataOffset, UInt32(mapStart), UInt32(mapStart - kWrittenDataOffset),
                        UInt32(out.size() - mapStart)};
    for (std::size_t i = 0; i < 4; ++i) {
        w.Set32(4 * i, header[i]);
        w.Set32(mapStart + 4 * i, header[i]);
    }
    *bytes = std::move(out);
    return noErr;
}

}  // namespace toolbox::resfork
