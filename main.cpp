// Entry point (headless for now): loads the settings and runs one sleep check.
#include <windows.h>

#include "data/save_data.h"
#include "view/main_dialog.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    g_SaveData.LoadSettings();
    SleepGuard_CL guard;
    guard.Apply(g_SaveData.ShouldKeepAwake());
    return 0;
}
