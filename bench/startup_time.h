#pragma once
// The start-up row's measurement: how long a program takes to show a window that answers.
#include <windows.h>

#include <string>

// A file in this benchmark's folder.
std::wstring BesideThisProgram(const wchar_t* fileName);
// From CreateProcess until a window of the class is shown and its thread answers a sent message
// (the start-up work before the message loop is then done); then the window is closed with
// closeParam and the process awaited. -1 when no window came within 30 s.
double StartupMs(const std::wstring& program, const wchar_t* windowClass, WPARAM closeParam);
