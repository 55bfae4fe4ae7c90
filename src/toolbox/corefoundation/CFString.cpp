// CFString stand-in. Text is kept as UTF-8; Mac Roman is converted at the edges.
#include "corefoundation/CFString.h"

#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "corefoundation/CFObject.h"

struct __CFString : toolbox::CFObject {
    std::string utf8;
    explicit __CFString(std::string s) : utf8(std::move(s)) {}
};

namespace {

// Unicode code points of Mac Roman 0x80..0xFF.
constexpr std::array<UInt16, 128> kMacRomanHigh = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3,
    0x00E5, 0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3,
    0x00A7, 0x2022, 0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA,
    0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D,
    0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE,
    0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7};

void AppendUTF8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Decodes one code point; malformed bytes decode as U+FFFD and advance by one.
char32_t NextCodePoint(const std::string& s, std::size_t& i) {
    auto b = UInt8(s[i]);
    int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + std::size_t(extra) >= s.size() + (extra == 0 ? 1 : 0)) {
        ++i;
        return extra == 0 ? b : 0xFFFD;
    }
    char32_t cp = extra == 0 ? b : b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        auto c = UInt8(s[i + std::size_t(k)]);
        if ((c & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    i += std::size_t(extra) + 1;
    return cp;
}

std::string EncodeTo(const __CFString* s, CFStringEncoding encoding, bool* ok) {
    if (encoding == kCFStringEncodingUTF8) {
        *ok = true;
        return s->utf8;
    }
    std::string out = toolbox::UTF8ToMacRoman(s->utf8, ok);
    if (encoding == kCFStringEncodingASCII)
        for (char c : out)
            if (UInt8(c) >= 0x80) *ok = false;
    return out;
}

}  // namespace

namespace toolbox {

std::string MacRomanToUTF8(const unsigned char* text, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i)
        AppendUTF8(out, text[i] < 0x80 ? char32_t(text[i]) : char32_t(kMacRomanHigh[text[i] - 0x80]));
    return out;
}

std::string UTF8ToMacRoman(const std::string& utf8, bool* lossless) {
    std::string out;
    bool ok = true;
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = NextCodePoint(utf8, i);
        if (cp < 0x80) {
            out += char(cp);
            continue;
        }
        std::size_t k = 0;
        while (k < kMacRomanHigh.size() && kMacRomanHigh[k] != cp) ++k;
        if (k == kMacRomanHigh.size()) {
            ok = false;
            out += '?';
        } else {
            out += char(0x80 + k);
        }
    }
    if (lossless) *lossless = ok;
    return out;
}

std::string CFStringToUTF8(CFStringRef theString) { return theString ? theString->utf8 : std::string(); }

}  // namespace toolbox

CFStringRef CFStringCreateWithPascalString(CFAllocatorRef, ConstStr255Param pStr, CFStringEncoding encoding) {
    if (pStr == nullptr) return nullptr;
    std::string raw(reinterpret_cast<const char*>(pStr + 1), pStr[0]);
    return new __CFString(encoding == kCFStringEncodingUTF8 ? raw : toolbox::MacRomanToUTF8(pStr + 1, pStr[0]));
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cStr, CFStringEncoding encoding) {
    if (cStr == nullptr) return nullptr;
    std::size_t n = std::strlen(cStr);
    if (encoding == kCFStringEncodingMacRoman)
        return new __CFString(toolbox::MacRomanToUTF8(reinterpret_cast<const unsigned char*>(cStr), n));
    return new __CFString(std::string(cStr, n));
}

// Length in UTF-16 units, as CFStringGetLength counts.
CFIndex CFStringGetLength(CFStringRef theString) {
    if (theString == nullptr) return 0;
    CFIndex n = 0;
    for (std::size_t i = 0; i < theString->utf8.size();) n += NextCodePoint(theString->utf8, i) > 0xFFFF ? 2 : 1;
    return n;
}

Boolean CFStringGetPascalString(CFStringRef theString, StringPtr buffer, CFIndex bufferSize,
                                CFStringEncoding encoding) {
    if (theString == nullptr || buffer == nullptr || bufferSize < 1) return false;
    bool ok = true;
    std::string text = EncodeTo(theString, encoding, &ok);
    if (!ok || text.size() > 255 || CFIndex(text.size()) + 1 > bufferSize) return false;
    buffer[0] = UInt8(text.size());
    std::memcpy(buffer + 1, text.data(), text.size());
    return true;
}

Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize, CFStringEncoding encoding) {
    if (theString == nullptr || buffer == nullptr || bufferSize < 1) return false;
    bool ok = true;
    std::string text = EncodeTo(theString, encoding, &ok);
    if (!ok || CFIndex(text.size()) + 1 > bufferSize) return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

CFStringRef CFSTR(const char* cStr) {
    static std::mutex lock;
    static std::map<std::string, std::unique_ptr<__CFString>> constants;
    std::lock_guard<std::mutex> guard(lock);
    auto& slot = constants[cStr];
    if (!slot) {
        slot = std::make_unique<__CFString>(cStr);
        slot->immortal = true;
    }
    return slot.get();
}
