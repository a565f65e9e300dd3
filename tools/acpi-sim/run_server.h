#pragma once

// Serves the simulator's class to COM, as a local server started with
// -Embedding does: registers the class object, answers, and returns once
// its objects are released (at once as a single-use server; after the
// profile's [Server] Resident milliseconds as a resident one), or when
// nobody came for 20 seconds. Returns the process exit code.
int RunServer();
