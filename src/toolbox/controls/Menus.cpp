// Menus: Mac Roman item texts with optional command IDs, each menu its own event target.
#include "controls/Menus.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

struct OpaqueMenuRef {
    MenuID id = 0;
    std::vector<std::string> items;
    std::vector<UInt32> commands;
    EventTargetRef target = nullptr;
};

namespace {

std::unordered_set<MenuRef>& LiveMenus() {
    static std::unordered_set<MenuRef> live;
    return live;
}

constexpr std::size_t kMaxItems = 4096;

bool ValidItem(MenuRef menu, MenuItemIndex item) {
    return toolbox::IsLiveMenu(menu) && item >= 1 && item <= menu->items.size();
}

void Append(MenuRef menu, std::string text, UInt32 command) {
    if (text.size() > 255) text.resize(255);
    menu->items.push_back(std::move(text));
    menu->commands.push_back(command);
}

}  // namespace

namespace toolbox {

bool IsLiveMenu(MenuRef menu) { return menu != nullptr && LiveMenus().count(menu) != 0; }

const std::vector<std::string>* MenuItemTexts(MenuRef menu) { return IsLiveMenu(menu) ? &menu->items : nullptr; }

}  // namespace toolbox

OSStatus CreateNewMenu(MenuID inMenuID, MenuAttributes, MenuRef* outMenuRef) {
    if (outMenuRef == nullptr) return paramErr;
    auto* menu = new OpaqueMenuRef;
    menu->id = inMenuID;
    // Menus pass unhandled events to the application.
    menu->target = toolbox::NewEventTarget({GetApplicationEventTarget(), nullptr});
    LiveMenus().insert(menu);
    *outMenuRef = menu;
    return noErr;
}

void DisposeMenu(MenuRef theMenu) {
    if (!LiveMenus().erase(theMenu)) return;
    toolbox::DisposeEventTarget(theMenu->target);
    delete theMenu;
}

MenuID GetMenuID(MenuRef menu) { return toolbox::IsLiveMenu(menu) ? menu->id : 0; }

UInt16 CountMenuItems(MenuRef theMenu) {
    return toolbox::IsLiveMenu(theMenu) ? UInt16(theMenu->items.size()) : 0;
}

OSStatus AppendMenuItemTextWithCFString(MenuRef inMenu, CFStringRef inString, MenuItemAttributes, UInt32 inCommandID,
                                        MenuItemIndex* outNewItem) {
    if (!toolbox::IsLiveMenu(inMenu)) return errInvalidMenuRef;
    if (inMenu->items.size() >= kMaxItems) return paramErr;
    Append(inMenu, toolbox::UTF8ToMacRoman(toolbox::CFStringToUTF8(inString)), inCommandID);
    if (outNewItem) *outNewItem = MenuItemIndex(inMenu->items.size());
    return noErr;
}

void AppendMenuItemText(MenuRef menu, ConstStr255Param inString) {
    if (!toolbox::IsLiveMenu(menu) || inString == nullptr || menu->items.size() >= kMaxItems) return;
    Append(menu, std::string(reinterpret_cast<const char*>(inString + 1), inString[0]), 0);
}

void DeleteMenuItem(MenuRef theMenu, MenuItemIndex item) {
    if (!ValidItem(theMenu, item)) return;
    theMenu->items.erase(theMenu->items.begin() + (item - 1));
    theMenu->commands.erase(theMenu->commands.begin() + (item - 1));
}

void GetMenuItemText(MenuRef theMenu, MenuItemIndex item, Str255 itemString) {
    if (itemString == nullptr) return;
    itemString[0] = 0;
    if (!ValidItem(theMenu, item)) return;
    const std::string& text = theMenu->items[item - 1];
    itemString[0] = UInt8(text.size());
    std::memcpy(itemString + 1, text.data(), text.size());
}

void SetMenuItemText(MenuRef theMenu, MenuItemIndex item, ConstStr255Param itemString) {
    if (!ValidItem(theMenu, item) || itemString == nullptr) return;
    theMenu->items[item - 1].assign(reinterpret_cast<const char*>(itemString + 1), itemString[0]);
}

OSStatus GetMenuItemCommandID(MenuRef inMenu, MenuItemIndex inItem, UInt32* outCommandID) {
    if (!ValidItem(inMenu, inItem)) return errMenuItemNotFound;
    if (outCommandID) *outCommandID = inMenu->commands[inItem - 1];
    return noErr;
}

EventTargetRef GetMenuEventTarget(MenuRef inMenu) { return toolbox::IsLiveMenu(inMenu) ? inMenu->target : nullptr; }
