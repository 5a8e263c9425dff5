#include "comlib/window_station.h"

bool WindowStationVisible(ObjectInformationQuery query) {
    // GetProcessWindowStation's handle belongs to the system: it is never closed.
    const HWINSTA station = ::GetProcessWindowStation();
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    if (!station || !query(station, UOI_FLAGS, &flags, sizeof(flags), &needed)) return true;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}
