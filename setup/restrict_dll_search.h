#pragma once

// Makes every DLL that is loaded on demand from now on (by the shell, COM,
// a message box) come from the system folder only, never from the folder
// setup.exe was started from: that is often a downloads folder that any
// user can write to, and setup.exe runs elevated.
void RestrictDllSearch();
