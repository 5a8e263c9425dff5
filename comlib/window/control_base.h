#pragma once
// Root of every window wrapper: a window handle, a font and a control identifier.
#include <windows.h>

#include "comlib/unique_resource.h"

// Client rectangle, its size, and the size of one fullwidth "Ｗ" in the screen's default font.
// Default GUI font scaled for emphasis: width and height truncated toward zero.
LOGFONTW ScaleLogFont(const LOGFONTW& base, float scale, int weight);

struct ClientMetrics {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width = 0;
    int height = 0;
    int charWidth = 0;
    int charHeight = 0;
};

class ControlBase_CL {
public:
    enum Kind : int {
        kUnknown = 0,
        kStaticText = 1,
        kButton = 2,
        kCheckBox = 3,
        kTopLevelWindow = 7,
        kListView = 10,
        kGroupBox = 18,
    };
    using MessageHandler = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    explicit ControlBase_CL(int kind = kUnknown) : kind_(kind) {}
    ControlBase_CL(const ControlBase_CL&) = delete;
    ControlBase_CL& operator=(const ControlBase_CL&) = delete;
    virtual ~ControlBase_CL() = default;

    // Calls the message handler, 0 when none is set.
    virtual LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // New size, same top-left in the parent's client coordinates.
    virtual void SetSize(int width, int height, bool repaint);
    // New top-left in the parent's client coordinates, same size.
    void SetPosition(int x, int y);
    // The default GUI font scaled (width and height) and with this weight; owned from now on.
    // The stock font is scaled by the window's DPI over the system DPI first.
    void SetFont(float scale, int weight);
    // After a change of DPI: the owned font made again at the window's new DPI.
    void RebuildFont();
    void GetClientMetrics(ClientMetrics& metrics) const;

    int Kind() const { return kind_; }
    int Id() const { return id_; }
    void SetId(int id) { id_ = id; }
    HWND Window() const { return window_; }
    void SetWindow(HWND window) { window_ = window; }
    // The font the window uses: the object's own font, or UiFont() (ui_font.h).
    HFONT Font() const;
    bool OwnsFont() const { return ownedFont_.IsValid(); }
    int OwnerValue() const { return ownerValue_; }
    void SetOwnerValue(int value) { ownerValue_ = value; }
    void SetMessageHandler(MessageHandler handler) { handler_ = handler; }

protected:
    void SetKind(int kind) { kind_ = kind; }

private:
    int kind_;
    int id_ = 0;
    MessageHandler handler_ = nullptr;
    int ownerValue_ = 0;
    HWND window_ = nullptr;
    // Empty while the stock font is in use: stock objects are never deleted.
    UniqueFont ownedFont_;
    float fontScale_ = 1.0f;
    int fontWeight_ = FW_NORMAL;
};
