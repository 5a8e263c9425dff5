#pragma once
// The reason and the state as the user reads them: the state band, the tray tip, the notice.
#include <string>

#include "data/awake_reason.h"

// The reason while sleep is prohibited, or the power plan's refusal while it forbids keeping
// awake; while a battery rule or the organisation allows sleep, why; else empty.
std::wstring ReasonText(const AwakeReason& reason);
// "日" for 0 to "土" for 6.
std::wstring DayName(int weekday);
// "DormiGuard - スリープ禁止中（<reason>）" or "DormiGuard - スリープ許可中", with the battery's
// "（<why>）" while a battery rule allows sleep.
std::wstring TrayTip(const AwakeReason& reason);
// The hotkey notice: what holds now.
std::wstring NoticeText(const AwakeReason& reason);
