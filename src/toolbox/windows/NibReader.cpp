// Nib parsing with pugixml. Everything a file says is checked against the toolbox's
// ranges before it is believed; an unknown attribute is an error, so a typo in a nib
// shows up when it is loaded rather than as a control in the wrong place.
#include "windows/NibReader.h"

#include <pugixml.hpp>

#include <charconv>
#include <map>
#include <set>
#include <stdexcept>

namespace toolbox {
namespace {

struct NibError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string Where(const pugi::xml_node& node) {
    std::string name = node.attribute("name").value();
    if (name.empty()) name = node.attribute("signature").value();
    return std::string("<") + node.name() + (name.empty() ? "" : " " + name) + ">";
}

[[noreturn]] void Fail(const pugi::xml_node& node, const std::string& what) { throw NibError(Where(node) + ": " + what); }

long long Integer(const pugi::xml_node& node, const char* attr, long long lo, long long hi, long long fallback) {
    pugi::xml_attribute a = node.attribute(attr);
    if (!a) return fallback;
    std::string_view text = a.value();
    long long v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        Fail(node, std::string(attr) + " \"" + std::string(text) + "\" is not a whole number");
    if (v < lo || v > hi)
        Fail(node, std::string(attr) + " " + std::to_string(v) + " is outside " + std::to_string(lo) + " to " + std::to_string(hi));
    return v;
}

bool Flag(const pugi::xml_node& node, const char* attr, bool fallback) {
    pugi::xml_attribute a = node.attribute(attr);
    if (!a) return fallback;
    std::string v = a.value();
    if (v == "true" || v == "yes" || v == "1") return true;
    if (v == "false" || v == "no" || v == "0") return false;
    Fail(node, std::string(attr) + " must be true or false, not \"" + v + "\"");
}

std::string Text(const pugi::xml_node& node, const char* attr) {
    std::string v = node.attribute(attr).value();
    if (v.size() > kNibMaxText) Fail(node, std::string(attr) + " is longer than " + std::to_string(kNibMaxText) + " bytes");
    return v;
}

// Four Mac Roman characters; empty gives 0 when allowed.
UInt32 FourChars(const pugi::xml_node& node, const char* attr, bool allowEmpty) {
    std::string utf8 = node.attribute(attr).value();
    if (utf8.empty() && allowEmpty) return 0;
    bool lossless = true;
    std::string mac = UTF8ToMacRoman(utf8, &lossless);
    if (!lossless || mac.size() != 4) Fail(node, std::string(attr) + " \"" + utf8 + "\" is not four characters");
    return (UInt32(UInt8(mac[0])) << 24) | (UInt32(UInt8(mac[1])) << 16) | (UInt32(UInt8(mac[2])) << 8) | UInt8(mac[3]);
}

void CheckAttributes(const pugi::xml_node& node, const std::set<std::string>& known) {
    for (pugi::xml_attribute a : node.attributes())
        if (!known.count(a.name())) Fail(node, std::string("attribute \"") + a.name() + "\" is not known");
}

ControlKind KindOf(const pugi::xml_node& node) {
    static const std::map<std::string, ControlKind> kinds = {
        {"pushButton", ControlKind::PushButton}, {"slider", ControlKind::Slider},
        {"staticText", ControlKind::StaticText}, {"editText", ControlKind::EditText},
        {"popupButton", ControlKind::PopupButton}, {"custom", ControlKind::Custom}};
    auto it = kinds.find(node.attribute("kind").value());
    if (it == kinds.end()) Fail(node, std::string("kind \"") + node.attribute("kind").value() + "\" is not a control kind");
    return it->second;
}

SInt16 Justification(const pugi::xml_node& node) {
    std::string a = node.attribute("align").value();
    if (a.empty() || a == "left") return teFlushDefault;
    if (a == "center") return teCenter;
    if (a == "right") return teFlushRight;
    Fail(node, "align must be left, center or right");
}

void ReadItems(const pugi::xml_node& node, NibControl& c) {
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element) continue;
        if (std::string(child.name()) != "item") Fail(node, std::string("<") + child.name() + "> is not allowed here");
        if (c.kind != ControlKind::PopupButton) Fail(node, "only pop-up buttons have items");
        if (c.items.size() >= kNibMaxItems) Fail(node, "too many items");
        std::string text = child.text().get();
        if (UTF8ToMacRoman(text).size() > 255) Fail(node, "an item is longer than 255 characters");
        c.items.push_back(text);
    }
}

void ReadBoundsAndRange(const pugi::xml_node& node, NibControl& c) {
    const long long left = Integer(node, "left", -4096, 8192, 0), top = Integer(node, "top", -4096, 8192, 0);
    const long long width = Integer(node, "width", 0, 8192, -1), height = Integer(node, "height", 0, 8192, -1);
    if (width < 0 || height < 0) Fail(node, "width and height are required");
    c.bounds = Rect{SInt16(top), SInt16(left), SInt16(top + height), SInt16(left + width)};
    c.minimum = SInt32(Integer(node, "min", INT32_MIN, INT32_MAX, 0));
    c.maximum = SInt32(Integer(node, "max", INT32_MIN, INT32_MAX, c.kind == ControlKind::Slider ? 100 : 0));
    if (c.maximum < c.minimum) Fail(node, "max is less than min");
    c.value = SInt32(Integer(node, "value", INT32_MIN, INT32_MAX, c.minimum));
}

NibControl ReadControl(const pugi::xml_node& node) {
    CheckAttributes(node, {"kind", "signature", "id", "left", "top", "width", "height", "title", "min", "max", "value",
                           "command", "visible", "enabled", "live", "default", "cancel", "bold", "password", "size",
                           "align", "class"});
    NibControl c;
    c.kind = KindOf(node);
    c.id = ControlID{FourChars(node, "signature", true), SInt32(Integer(node, "id", INT32_MIN, INT32_MAX, 0))};
    ReadBoundsAndRange(node, c);
    c.title = Text(node, "title");
    c.command = FourChars(node, "command", true);
    c.visible = Flag(node, "visible", true);
    c.enabled = Flag(node, "enabled", true);
    c.live = Flag(node, "live", false);
    c.isDefault = Flag(node, "default", false);
    c.isCancel = Flag(node, "cancel", false);
    c.bold = Flag(node, "bold", false);
    c.password = Flag(node, "password", false);
    c.fontSize = SInt16(Integer(node, "size", 0, 128, 0));
    c.just = Justification(node);
    c.classID = Text(node, "class");
    if (c.kind == ControlKind::Custom && c.classID.empty()) Fail(node, "a custom control needs a class");
    if (c.kind != ControlKind::Custom && !c.classID.empty()) Fail(node, "only custom controls have a class");
    ReadItems(node, c);
    return c;
}

WindowClass ClassOf(const pugi::xml_node& node) {
    static const std::map<std::string, WindowClass> classes = {
        {"", kMovableModalWindowClass},      {"movableModal", kMovableModalWindowClass},
        {"modal", kModalWindowClass},        {"document", kDocumentWindowClass},
        {"alert", kAlertWindowClass},        {"movableAlert", kMovableAlertWindowClass},
        {"floating", kFloatingWindowClass},  {"utility", kUtilityWindowClass},
        {"plain", kPlainWindowClass}};
    auto it = classes.find(node.attribute("class").value());
    if (it == classes.end()) Fail(node, std::string("class \"") + node.attribute("class").value() + "\" is not a window class");
    return it->second;
}

WindowAttributes AttributesOf(const pugi::xml_node& node) {
    static const std::map<std::string, WindowAttributes> names = {
        {"closeBox", kWindowCloseBoxAttribute},       {"collapseBox", kWindowCollapseBoxAttribute},
        {"resizable", kWindowResizableAttribute},      {"standardHandler", kWindowStandardHandlerAttribute},
        {"compositing", kWindowCompositingAttribute},  {"liveResize", kWindowLiveResizeAttribute},
        {"horizontalZoom", kWindowHorizontalZoomAttribute}, {"verticalZoom", kWindowVerticalZoomAttribute}};
    pugi::xml_attribute a = node.attribute("attributes");
    if (!a) return kWindowStandardHandlerAttribute;
    WindowAttributes result = 0;
    std::string list = a.value();
    for (std::size_t i = 0; i < list.size();) {
        std::size_t end = list.find(' ', i);
        std::string word = list.substr(i, end == std::string::npos ? std::string::npos : end - i);
        i = end == std::string::npos ? list.size() : end + 1;
        if (word.empty()) continue;
        auto it = names.find(word);
        if (it == names.end()) Fail(node, "window attribute \"" + word + "\" is not known");
        result |= it->second;
    }
    return result;
}

void ReadWindowBody(const pugi::xml_node& node, NibWindow& w) {
    CheckAttributes(node, {"name", "title", "width", "height", "left", "top", "class", "attributes"});
    w.title = Text(node, "title");
    w.width = short(Integer(node, "width", 1, 4096, -1));
    w.height = short(Integer(node, "height", 1, 4096, -1));
    if (w.width < 0 || w.height < 0) Fail(node, "width and height are required");
    if (node.attribute("left") || node.attribute("top"))
        w.position = Point{SInt16(Integer(node, "top", -4096, 8192, 0)), SInt16(Integer(node, "left", -4096, 8192, 0))};
    w.windowClass = ClassOf(node);
    w.attributes = AttributesOf(node);
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element) continue;
        if (std::string(child.name()) != "control") Fail(node, std::string("<") + child.name() + "> is not allowed in a window");
        if (w.controls.size() >= kNibMaxControls) Fail(node, "too many controls");
        w.controls.push_back(ReadControl(child));
    }
}

}  // namespace

bool ParseNib(std::string_view text, NibDocument* out, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (out == nullptr) return fail("no document to fill");
    *out = NibDocument{};
    if (text.size() > kNibMaxBytes) return fail("the nib is larger than " + std::to_string(kNibMaxBytes) + " bytes");
    pugi::xml_document doc;
    pugi::xml_parse_result parsed = doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed) return fail(std::string("not well-formed XML at byte ") + std::to_string(parsed.offset) + ": " + parsed.description());
    pugi::xml_node root = doc.document_element();
    if (std::string(root.name()) != "nib") return fail("the root element is not <nib>");
    for (pugi::xml_node node : root.children()) {
        if (node.type() != pugi::node_element) continue;
        if (std::string(node.name()) != "window") return fail(std::string("<") + node.name() + "> is not allowed in a nib");
        if (out->windows.size() >= kNibMaxWindows) return fail("too many windows");
        NibWindow w;
        w.name = node.attribute("name").value();
        if (w.name.empty()) return fail("a window has no name");
        try {
            ReadWindowBody(node, w);
        } catch (const NibError& e) {
            w.controls.clear();
            w.error = e.what();
        }
        out->windows.push_back(std::move(w));
    }
    return true;
}

const NibWindow* FindNibWindow(const NibDocument& doc, const std::string& name) {
    for (const NibWindow& w : doc.windows)
        if (w.name == name) return &w;
    return nullptr;
}

}  // namespace toolbox
