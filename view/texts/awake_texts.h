#pragma once
// The reason and the state as the user reads them: the state band, the tray tip, the notice.
#include <functional>
#include <string>

#include "data/awake_reason.h"
#include "view/texts/ui_texts.h"

// The reason while sleep is prohibited, or the power plan's refusal while it forbids keeping
// awake; while a battery rule or the organisation allows sleep, why; else empty.
std::wstring ReasonText(const AwakeReason& reason);
// "日" for 0 to "土" for 6.
std::wstring DayName(int weekday);
// The longest form of wrap(reason text) that fits: whole; else the file name cut short with "…"
// where it is cut, the rest of the text kept; else the text's end cut with "…".
std::wstring FitReasonText(const AwakeReason& reason, const std::function<std::wstring(const std::wstring&)>& wrap,
                           const std::function<bool(const std::wstring&)>& fits);
// "DormiGuard - スリープ禁止中（<reason>）" or "DormiGuard - スリープ許可中", with the battery's
// "（<why>）" while a battery rule allows sleep; within the tip's 127 characters.
std::wstring TrayTip(const AwakeReason& reason);
// The hotkey notice: what holds now, within a notification's 255 characters.
std::wstring NoticeText(const AwakeReason& reason);
