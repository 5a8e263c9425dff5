#pragma once
// The language of the texts: section "DISPLAY", key "language", and its choice on a settings
// page. Nothing is written until the user changes the choice.
#include <windows.h>

#include <string>

#include "comlib/window/control_factory.h"
#include "view/texts/ui_texts.h"

// Read without creating the file or its folder: the value, or "auto" when there is none.
LanguageChoice ReadLanguageChoice(const std::wstring& iniPath);
// The texts and the controls' font follow the choice from now on.
void ApplyLanguageChoice(LanguageChoice choice);

// "表示言語 / Language": automatic, Japanese or English in one row, and a note on when the
// change takes effect. The page owns the factory the controls live in.
class LanguageChoiceControls {
public:
    // Builds the frame at top, width wide; returns its bottom edge (page coordinates).
    int Build(HWND page, ControlFactory_CL& factory, int top, int width);
    bool IsChoiceCommand(int id) const;
    LanguageChoice Selected() const;
    // PSN_APPLY: a changed choice is stored and applied; an unchanged one writes nothing.
    void Apply();

private:
    CheckBox_CL* buttons_[3] = {};  // owned by the page's factory; auto, ja, en
    LanguageChoice shown_ = LanguageChoice::Auto;
};
