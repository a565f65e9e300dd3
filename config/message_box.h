#pragma once

#include "base/win.h"

// Every message box of the installer goes through here: MessageBoxA with no
// owner window, the caption "Ventaro Setup" and MB_OK, modal, result ignored.
void ShowMessageBox(const char* text);

// Shaped like MessageBoxA, which is the default.
using MessageBoxFunction = int(WINAPI*)(HWND owner, LPCSTR text, LPCSTR caption, UINT style);

// For tests, which have no display to show a box on: replaces the function
// that shows the box and returns the one it replaces.
MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function);
