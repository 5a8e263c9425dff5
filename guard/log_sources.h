#pragma once
// The log lines the guard took over from the window and the settings keep the source names they
// were written under: people and scripts find them in the log by it.
namespace guard_log {
constexpr char kMainDialog[] = "view/main_dialog.cpp";
constexpr char kMainDialogAwake[] = "view/main_dialog_awake.cpp";
constexpr char kSaveData[] = "data/save_data.cpp";
}  // namespace guard_log
