#pragma once
// The one line a settings page shows while an organisation's policy governs one of its controls.
#include <windows.h>

#include "comlib/window/control_factory.h"
#include "comlib/window/controls.h"

// "一部の設定は組織によって管理されています" along the bottom of the page, below everything else.
StaticText_CL* AddManagedLine(HWND page, ControlFactory_CL& factory);
// A governed check box: shows the value in force and cannot be changed.
void ShowGoverned(CheckBox_CL* box, bool value);
