// Menu Manager stand-in: menus as lists of Mac Roman item texts, enough for the menus
// that pop-up buttons show and for code that reads or fills them.
#pragma once

#include "MacTypes.h"
#include "corefoundation/CFString.h"
#include "events/CarbonEvents.h"

typedef SInt16 MenuID;
typedef UInt32 MenuAttributes;
typedef UInt32 MenuItemAttributes;

enum : OSStatus { errMenuItemNotFound = -5620, errInvalidMenuRef = -5625 };

OSStatus CreateNewMenu(MenuID inMenuID, MenuAttributes inMenuAttributes, MenuRef* outMenuRef);
void DisposeMenu(MenuRef theMenu);
MenuID GetMenuID(MenuRef menu);
UInt16 CountMenuItems(MenuRef theMenu);
OSStatus AppendMenuItemTextWithCFString(MenuRef inMenu, CFStringRef inString, MenuItemAttributes inAttributes,
                                        UInt32 inCommandID, MenuItemIndex* outNewItem);
// Appends one item with the Mac Roman text (no metacharacters are interpreted).
void AppendMenuItemText(MenuRef menu, ConstStr255Param inString);
void DeleteMenuItem(MenuRef theMenu, MenuItemIndex item);
// Items are numbered from 1; an item that does not exist gives the empty string.
void GetMenuItemText(MenuRef theMenu, MenuItemIndex item, Str255 itemString);
void SetMenuItemText(MenuRef theMenu, MenuItemIndex item, ConstStr255Param itemString);
OSStatus GetMenuItemCommandID(MenuRef inMenu, MenuItemIndex inItem, UInt32* outCommandID);

namespace toolbox {

bool IsLiveMenu(MenuRef menu);
// The item texts as Mac Roman bytes, for drawing.
const std::vector<std::string>* MenuItemTexts(MenuRef menu);

}  // namespace toolbox
