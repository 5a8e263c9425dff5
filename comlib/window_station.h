#pragma once
// Whether this process's window station shows windows at all.
#include <windows.h>

// GetUserObjectInformationW, or a test's stand-in for it.
using ObjectInformationQuery = BOOL(WINAPI*)(HANDLE object, int index, PVOID info, DWORD size, LPDWORD needed);

// False in session 0 and in a service's station, where no tray and no window can be seen: the
// station's UOI_FLAGS lack WSF_VISIBLE. True when the system cannot say.
bool WindowStationVisible(ObjectInformationQuery query = &::GetUserObjectInformationW);
