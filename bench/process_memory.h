#pragma once
// This process's memory, for the benchmark's growth measurement.
#include <windows.h>

// PROCESS_MEMORY_COUNTERS_EX.PrivateUsage of GetProcessMemoryInfo: committed private memory.
unsigned long long PrivateBytes();

// Bytes in busy blocks of all of the process's heaps (HeapWalk): what the C++ runtime's
// allocations hold, at byte resolution where private bytes only move by pages.
unsigned long long HeapBusyBytes();
