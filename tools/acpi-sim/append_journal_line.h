#pragma once

#include <string>

// Appends line to the journal file at path, creating it if need be, in
// one write through an append-only handle, so that several server
// processes writing at once do not interleave. False when it failed.
bool AppendJournalLine(const std::string& path, const std::string& line);
