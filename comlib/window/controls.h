#pragma once
// The control wrappers the factory creates, and the image list used by list views and menus.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "comlib/unique_resource.h"
#include "comlib/window/control_base.h"

// Group box growth: the needed size only grows to reach the control's right and bottom
// (both rectangles in the parent's client coordinates).
SIZE NeededSizeToContain(SIZE needed, const RECT& box, const RECT& control);

// List-view check box: state image 1 is unchecked, 2 checked; no state image gives -1.
int CheckStateFromItemState(UINT state);

class StaticText_CL : public ControlBase_CL {
public:
    StaticText_CL() : ControlBase_CL(kStaticText) {}
};

class Button_CL : public ControlBase_CL {
public:
    Button_CL() : ControlBase_CL(kButton) {}
};

class CheckBox_CL : public ControlBase_CL {
public:
    CheckBox_CL() : ControlBase_CL(kCheckBox) {}
    // BM_GETCHECK: BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
    int GetCheck() const;
    void SetCheck(int state);
};

class ListView_CL : public ControlBase_CL {
public:
    ListView_CL() : ControlBase_CL(kListView) {}

    // Appends a column (LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM); returns LVM_INSERTCOLUMNW's result.
    int InsertColumn(const std::wstring& text, int width, int format);
    // Sub-item 0 inserts a row with text, image and lParam; other sub-items set text and image.
    int SetItemText(const std::wstring& text, int item, int subItem, int image, LPARAM lParam);
    // Sets the text and image of an existing cell.
    int SetItem(const std::wstring& text, int item, int subItem, int image);
    // 0 unchecked, 1 checked, -1 when the item has no check-box state image.
    int GetCheckState(int item) const;

    int ColumnCount() const { return columnCount_; }
    int ExtraValue() const { return extraValue_; }
    void SetExtraValue(int value) { extraValue_ = value; }

private:
    int columnCount_ = 0;
    int extraValue_ = 0;  // free for the owner, like OwnerValue
};

class GroupBox_CL : public ControlBase_CL {
public:
    GroupBox_CL() : ControlBase_CL(kGroupBox) {}

    // Grows the needed size so that the control's right and bottom edges fit; never shrinks.
    // The box itself is not resized: SetSize(NeededWidth(), NeededHeight(), ...) does that.
    void GrowToContain(const ControlBase_CL& control);
    int NeededWidth() const { return neededWidth_; }
    int NeededHeight() const { return neededHeight_; }

private:
    int neededWidth_ = 0;
    int neededHeight_ = 0;
};

// An image list that is either owned (loaded here) or shared (the system's, never destroyed).
class ImageList_CL {
public:
    ImageList_CL() = default;
    ImageList_CL(const ImageList_CL&) = delete;
    ImageList_CL& operator=(const ImageList_CL&) = delete;
    virtual ~ImageList_CL() = default;

    // Cuts a bitmap file into images itemWidth pixels wide, magenta (RGB 255, 0, 255) transparent.
    // The strip is drawn for 96 DPI: at another DPI it is stretched first, and so are the images.
    // Returns false and leaves the list empty when the file cannot be loaded.
    bool LoadBitmapStrip(const std::wstring& path, int itemWidth, int dpi = 96);
    // Refers to a list owned elsewhere, such as the system's file-icon list.
    void SetShared(HIMAGELIST list);
    HIMAGELIST Get() const { return owned_ ? owned_.Get() : shared_; }
    bool IsShared() const { return shared_ != nullptr; }

private:
    UniqueImageList owned_;
    HIMAGELIST shared_ = nullptr;
};
