#pragma once

#include "base/win.h"

// Every message box of the installer goes through here: MessageBoxA with no
// owner window, the caption "Ventaro Setup" and MB_OK, modal, result ignored.
// Shown only where somebody can see it: on a visible window station.
void ShowMessageBox(const char* text);

// Whether the process's window station is visible (an interactive session).
bool WindowStationIsVisible();

// Shaped like MessageBoxA, which is the default.
using MessageBoxFunction = int(WINAPI*)(HWND owner, LPCSTR text, LPCSTR caption, UINT style);

// For tests, which have no display to show a box on: replaces the function
// that shows the box and returns the one it replaces.
MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function);
