#pragma once

#include <string>

// Asks every other acpi-sim server on the machine to revoke its class object
// and end, and waits for it. A server still running from an earlier
// registration (a resident one, or one waiting for a client that never
// came) would otherwise answer the next activation with its own profile.
void StopOtherServers();

// The event a server with this process id waits on to be asked to stop.
std::string StopEventName(unsigned long processId);
