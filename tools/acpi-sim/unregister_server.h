#pragma once

// Removes what RegisterServer wrote: the simulator's class key, and the
// ProgID key as long as it still names the simulator's class (a server
// registered since keeps its ProgID). Nothing to remove is success.
// False when a key could not be removed.
bool UnregisterServer();
