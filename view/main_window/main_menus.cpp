#include "view/main_window/main_menus.h"

#include <vector>

#include "comlib/unique_resource.h"
#include "comlib/utility.h"
#include "comlib/window/control_factory.h"
#include "comlib/window/high_dpi.h"
#include "guard/policy_rules.h"
#include "view/texts/ui_texts.h"

namespace {
struct SessionItem {
    UINT command;
    TextId text;
    int minutes;
};
const SessionItem kSessionItems[] = {
    {kCmdAwakeNoEnd, TextId::MenuAwakeNoEnd, 0},
    {kCmdAwake30Minutes, TextId::MenuAwake30Minutes, 30},
    {kCmdAwake1Hour, TextId::MenuAwake1Hour, 60},
    {kCmdAwake2Hours, TextId::MenuAwake2Hours, 120},
    {kCmdAwake4Hours, TextId::MenuAwake4Hours, 240},
};

std::wstring SessionItemText(const SessionItem& item, const std::wstring& hotkey) {
    std::wstring text = UiText(item.text);
    if (item.minutes == 0 && !hotkey.empty()) text += L"\t" + hotkey;
    return text;
}

struct ConditionItem {
    UINT command;
    TextId text;
    WatchMode mode;
};
const ConditionItem kConditionItems[] = {
    {kCmdConditionRunning, TextId::ConditionRunning, WatchMode::Running},
    {kCmdConditionFront, TextId::ConditionFront, WatchMode::Front},
    {kCmdConditionBusy, TextId::ConditionBusy, WatchMode::Busy},
};

// Cells of "\menu_image.bmp".
constexpr int kImageWindow = 0;
constexpr int kImageAdd = 1;
constexpr int kImageDelete = 2;
constexpr int kImageSupport = 3;
constexpr int kMenuImageWidth = 24;
// The tray menu's submenu item: it opens the submenu and is never a command.
constexpr UINT kAwakeSubmenuItem = 139;
constexpr UINT kConditionSubmenuItem = 144;

// A context menu with the images of "\menu_image.bmp". The image list is declared first so
// that it outlives the menu that draws from it.
struct ContextMenu {
    ImageList_CL images;
    PopupMenu_CL menu;

    ContextMenu() {
        // The menu opens at the cursor: its monitor's DPI for the images, the measure and the drawing.
        POINT cursor = {};
        ::GetCursorPos(&cursor);
        menu.SetDpi(DpiAtPoint(cursor));
        images.LoadBitmapStrip(ModuleFolder() + L"\\menu_image.bmp", kMenuImageWidth, menu.Dpi());
        menu.CreatePopup();
        menu.SetImageList(images.Get());
    }
    // Blocks until a command is chosen (it arrives as WM_COMMAND) or the menu is dismissed.
    void TrackAtCursor(HWND owner) const {
        POINT cursor = {};
        ::GetCursorPos(&cursor);
        ::TrackPopupMenu(menu.Menu(), TPM_VERTICAL, cursor.x, cursor.y, 0, owner, nullptr);
    }
};
}  // namespace

int SessionMinutesOf(UINT command) {
    for (const SessionItem& item : kSessionItems)
        if (item.command == command) return item.minutes;
    return -1;
}

bool ConditionOf(UINT command, WatchMode* mode) {
    for (const ConditionItem& item : kConditionItems)
        if (item.command == command) {
            *mode = item.mode;
            return true;
        }
    return false;
}

HMENU BuildMenuBar() {
    UniqueMenu bar(::CreateMenu());
    if (!bar) return nullptr;
    struct Item {
        UINT command;  // 0: a separator
        TextId text;
    };
    struct Popup {
        TextId title;
        std::vector<Item> items;
    };
    const Popup popups[] = {
        {TextId::MenuFile, {{kCmdExit, TextId::MenuExit}}},
        {TextId::MenuEdit,
         {{kCmdAdd, TextId::MenuAddProgram},
          {0, TextId::Count},
          {kCmdDelete, TextId::MenuRemoveProgram},
          {0, TextId::Count},
          {kCmdRefresh, TextId::MenuCheckNow}}},
        {TextId::MenuHelp, {{kCmdSettings, TextId::MenuSettings}, {0, TextId::Count}, {kCmdSupport, TextId::MenuSupportSite}}},
    };
    for (const Popup& popup : popups) {
        UniqueMenu menu(::CreatePopupMenu());
        if (!menu) return nullptr;
        for (const Item& item : popup.items) {
            if (item.command == 0)
                ::AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
            else
                ::AppendMenuW(menu.Get(), MF_STRING, item.command, UiText(item.text));
        }
        // Once appended the bar owns the popup: DestroyMenu of the bar destroys it too.
        if (!::AppendMenuW(bar.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(menu.Get()), UiText(popup.title)))
            return nullptr;
        menu.Release();
    }
    return bar.Release();
}

void AddAwakeMenu(HMENU bar, const std::wstring& hotkey) {
    // "編集(&E)", the second menu of the bar: a separator and the submenu after its items.
    const HMENU edit = bar ? ::GetSubMenu(bar, 1) : nullptr;
    if (!edit) return;
    UniqueMenu awake(::CreatePopupMenu());
    if (!awake) return;
    for (const SessionItem& item : kSessionItems)
        ::AppendMenuW(awake.Get(), MF_STRING, item.command, SessionItemText(item, hotkey).c_str());
    ::AppendMenuW(awake.Get(), MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(awake.Get(), MF_STRING | MF_GRAYED, kCmdAwakeEnd, UiText(TextId::MenuAwakeEnd));
    ::AppendMenuW(edit, MF_SEPARATOR, 0, nullptr);
    // Once appended the bar owns the submenu: DestroyMenu of the bar destroys it too.
    if (::AppendMenuW(edit, MF_POPUP, reinterpret_cast<UINT_PTR>(awake.Get()), UiText(TextId::MenuAwakeNow)))
        awake.Release();
}

void ShowHotkeyInMenuBar(HMENU bar, const std::wstring& hotkey) {
    if (!bar) return;
    const std::wstring text = SessionItemText(kSessionItems[0], hotkey);
    ::ModifyMenuW(bar, kCmdAwakeNoEnd, MF_BYCOMMAND | MF_STRING, kCmdAwakeNoEnd, text.c_str());
}

void GreyRefusedSessions(HMENU bar, const Policies& policies) {
    if (!bar) return;
    for (const SessionItem& item : kSessionItems) {
        const bool refused = RefuseSessionMinutes(item.minutes, policies) != SessionRefusal::None;
        ::EnableMenuItem(bar, item.command, MF_BYCOMMAND | (refused ? MF_GRAYED : MF_ENABLED));
    }
}

void FillAwakeMenu(PopupMenu_CL& menu, const std::wstring& hotkey, bool sessionActive, const Policies& policies) {
    for (const SessionItem& item : kSessionItems) {
        const int index = menu.AppendItem(item.command, SessionItemText(item, hotkey), PopupMenu_CL::kNoImage);
        if (RefuseSessionMinutes(item.minutes, policies) != SessionRefusal::None) menu.DisableItem(index);
    }
    menu.AppendSeparator();
    const int end = menu.AppendItem(kCmdAwakeEnd, UiText(TextId::MenuAwakeEnd), PopupMenu_CL::kNoImage);
    if (!sessionActive) menu.DisableItem(end);
}

void ShowListMenu(HWND owner, bool canRemove, const WatchMode* condition) {
    ContextMenu context;
    context.menu.AppendItem(kCmdAdd, UiText(TextId::ListMenuAdd), kImageAdd);
    context.menu.AppendSeparator();
    const int remove = context.menu.AppendItem(kCmdDelete, UiText(TextId::ListMenuRemove), kImageDelete);
    if (!canRemove) context.menu.DisableItem(remove);
    PopupMenu_CL conditions;
    conditions.CreatePopup();
    conditions.SetImageList(context.images.Get());  // the check marks stand in the image cells
    for (const ConditionItem& item : kConditionItems) {
        const int index = conditions.AppendItem(item.command, UiText(item.text), PopupMenu_CL::kNoImage);
        if (condition && *condition == item.mode) conditions.CheckItem(index);
    }
    context.menu.AppendSeparator();
    const int submenu = context.menu.AppendSubmenu(kConditionSubmenuItem, UiText(TextId::ListMenuCondition),
                                                   PopupMenu_CL::kNoImage, conditions);
    if (!condition) context.menu.DisableItem(submenu);
    context.TrackAtCursor(owner);
}

void ShowTrayMenu(HWND owner, bool trayHidden, const std::wstring& hotkey, bool sessionActive,
                  const Policies& policies) {
    ContextMenu context;
    if (trayHidden)
        context.menu.AppendItem(kCmdShow, UiText(TextId::TrayShowWindow), kImageWindow);
    else
        context.menu.AppendItem(kCmdStore, UiText(TextId::TrayHideToTray), kImageWindow);
    context.menu.AppendSeparator();
    PopupMenu_CL awake;
    awake.CreatePopup();
    awake.SetImageList(context.images.Get());
    FillAwakeMenu(awake, hotkey, sessionActive, policies);
    context.menu.AppendSubmenu(kAwakeSubmenuItem, UiText(TextId::MenuAwakeNow), PopupMenu_CL::kNoImage, awake);
    context.menu.AppendSeparator();
    context.menu.AppendItem(kCmdSupport, UiText(TextId::TraySupportSite), kImageSupport);
    context.menu.AppendSeparator();
    context.menu.AppendItem(kCmdExit, UiText(TextId::TrayExit), kImageWindow);
    // A tray menu only closes on a click elsewhere when its owner is the foreground window.
    ::SetForegroundWindow(owner);
    context.TrackAtCursor(owner);
    ::PostMessageW(owner, WM_NULL, 0, 0);
}
