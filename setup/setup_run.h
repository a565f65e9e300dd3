#pragma once

// The installer's whole run: feature gate, version decision, target folder,
// copy, service registration and the registry record. Returns the exit
// status, 0 or -1.
int SetupRun();
