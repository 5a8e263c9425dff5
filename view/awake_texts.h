#pragma once
// The reason and the state as the user reads them: the state band, the tray tip, the notice.
#include <string>

#include "data/awake_reason.h"

std::wstring ReasonText(const AwakeReason& reason);
// "DormiGuard - スリープ禁止中（<reason>）" or "DormiGuard - スリープ許可中".
std::wstring TrayTip(const AwakeReason& reason);
