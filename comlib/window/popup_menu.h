#pragma once
// Owner-drawn popup menus: an image in front of each command, text split at a tab.
#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <string>

#include "comlib/unique_resource.h"

// Owner-drawn menu item: text width + 48 (+ image width + 4) + the shortcut's width, height
// max(text + 1, image + 1). The shortcut stands right-aligned 24 in from the right edge, so
// 24 separate it from the text of the widest item.
constexpr int kMenuExtraWidth = 48;
constexpr int kMenuImageGap = 4;
constexpr int kMenuRightInset = 24;
SIZE MenuItemSize(SIZE text, bool hasImages, SIZE image, int dpi = 96, int shortcutWidth = 0);
// Where the left part (before the tab) and the right part (after it) of an item are drawn.
struct MenuTextRects {
    RECT left;
    RECT right;
};
MenuTextRects MenuItemTextRects(const RECT& item, bool hasImages, int imageWidth, int dpi = 96);
// The text up to the first tab and the text after it ("" when there is no tab).
void SplitAtTab(const std::wstring& text, std::wstring* left, std::wstring* right);
// GetSysColor indices of an item's background and text for its owner-draw state.
struct MenuColorIndices {
    int background;
    int text;
};
MenuColorIndices MenuItemColors(bool selected, bool grayed);

class PopupMenu_CL {
public:
    // MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_DATA | MIIM_STRING | MIIM_FTYPE.
    static constexpr UINT kItemMask = 0x167;
    static constexpr int kNoImage = -1;

    PopupMenu_CL() = default;
    PopupMenu_CL(const PopupMenu_CL&) = delete;
    PopupMenu_CL& operator=(const PopupMenu_CL&) = delete;
    // Detaches submenus first: each PopupMenu_CL destroys only its own menu.
    virtual ~PopupMenu_CL();

    HMENU CreatePopup();
    HMENU CreateBar();
    HMENU Menu() const { return menu_.Get(); }

    // The record at index; index == ItemCount() appends a new one (owner-drawn, image index 0).
    // References stay valid while the object lives.
    MENUITEMINFOW& Item(int index);
    int ItemCount() const { return static_cast<int>(items_.size()); }

    // Builds the next record (the text is copied and kept here) and appends it to the menu.
    // Returns the record's index.
    int AppendItem(UINT commandId, const std::wstring& text, int imageIndex);
    // An owner-drawn item that opens submenu; itemId only names the record (never a command).
    // The submenu object must outlive this menu's tracking. A submenu without a DPI of its own
    // takes this menu's, so that both are measured and drawn alike.
    int AppendSubmenu(UINT itemId, const std::wstring& text, int imageIndex, PopupMenu_CL& submenu);
    // A plain separator, not a record.
    void AppendSeparator();
    // Greys a command out (MFS_DISABLED | MFS_GRAYED) in the record and in the menu.
    void DisableItem(int index);
    // Checks a command (MFS_CHECKED): a mark is drawn where its image would stand.
    void CheckItem(int index);

    // The record's image index (kept in hbmpItem, which the system never reads: no MIIM_BITMAP).
    static int ImageIndexOf(const MENUITEMINFOW& item);
    static void SetImageIndex(MENUITEMINFOW& item, int imageIndex);
    // The first record with this command id, or null.
    const MENUITEMINFOW* FindItem(UINT commandId) const;

    // The DPI the items are measured and drawn at (the image list's too); 0 until set, when the
    // first measure takes the owner window's.
    void SetDpi(int dpi) { dpi_ = dpi; }
    int Dpi() const { return dpi_; }

    // Not owned: the ImageList_CL holding it must outlive the menu.
    void SetImageList(HIMAGELIST list) { imageList_ = list; }
    HIMAGELIST ImageList() const { return imageList_; }

private:
    int AppendOwnerDrawn(UINT id, const std::wstring& text, int imageIndex, HMENU submenu);

    UniqueMenu menu_;
    std::deque<MENUITEMINFOW> items_;
    std::deque<std::wstring> texts_;
    HIMAGELIST imageList_ = nullptr;
    int dpi_ = 0;
};

// Answers WM_MEASUREITEM and WM_DRAWITEM for PopupMenu_CL items (ODT_MENU, itemData the menu
// object); ignores every other message. The message then goes on to default processing.
void OnMenuOwnerDraw(HWND window, UINT message, LPARAM lParam);
