#pragma once
// Texts the user reads, by id: one table per language (Japanese only for now).
#include <windows.h>

#include <string>

enum class TextId {
    SaveFailedTitle,
    SaveFailedBody,          // %s: the file, %s: the reason
    SaveFailedAccessDenied,  // the hint added for ERROR_ACCESS_DENIED
};

const wchar_t* UiText(TextId id);

// The notification about settings that could not be saved: the file, the reason and, for
// ERROR_ACCESS_DENIED, the hint about Windows Security's controlled folder access.
std::wstring SaveFailureNoticeText(const std::wstring& file, DWORD error);
