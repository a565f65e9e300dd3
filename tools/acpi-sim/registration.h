#pragma once

// The registration of this copy of the server with COM, under
// HKLM\Software\Classes, and the copy's own place.

#include <string>

// Registers the running executable as the local server of the simulator's
// class: the ProgID "tavriCom.axdata" naming the class, and the class with
// its ProgID and its LocalServer32 (the executable's quoted full path).
// Replaces whatever the ProgID named before. False when a key or value
// could not be written.
bool RegisterServer();

// Removes what RegisterServer wrote: the simulator's class key, and the
// ProgID key as long as it still names the simulator's class (a server
// registered since keeps its ProgID). Nothing to remove is success.
// False when a key could not be removed.
bool UnregisterServer();

// The running executable's folder, ending with a backslash, where its
// profile and journal lie; empty when the platform cannot name it. ANSI,
// as the profile functions take it.
std::string ExecutableFolder();
