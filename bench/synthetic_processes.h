#pragma once
// Made-up running programs for the benchmark: image paths in the device form that
// K32GetProcessImageFileNameW gives, and watched records that none of them matches.
#include <string>
#include <vector>

#include "comlib/process/enum_porocess.h"
#include "data/watched_list.h"

// c: is \Device\HarddiskVolume3 and d: \Device\HarddiskVolume4; every other letter is unused.
DriveMap SyntheticDriveMap();

// `count` processes in enumeration order. Every 8th one is another instance of a program listed
// three places earlier, so count - count / 8 distinct paths; every 16th is a per-user copy of
// helper.exe (equal file names); every 16th lies on a network share no letter maps. With
// `oneReplaced`, the first process is another program: one started and one ended in between.
std::vector<std::wstring> SyntheticImagePaths(int count, bool oneReplaced);

// `count` enabled records, watched0.exe and up, none of them running.
void AddSyntheticWatched(WatchedList_CL& watched, int count);
