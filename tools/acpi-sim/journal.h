#pragma once

// The journal (acpi-sim.journal beside the server): one line for every
// call that reached a method, with its arguments as they arrived.

#include <string>

#include <oaidl.h>
#include <oleauto.h>
#include "base/win.h"

// The journal line of one call, ended by CR LF: the method's name and its
// arguments in declared order (args holds them last first, as Invoke
// receives them), separated by single blanks: 0x0000002a for a VT_UI4,
// &0x0000002a for a by-reference one as it was on entry, [e1 00 ff] for a
// holder's byte array ([] without bytes), <vt 0x0003> for anything else.
std::string DescribeCall(const char* method, const VARIANTARG* args, unsigned count);

// Appends line to the journal file at path, creating it if need be, in
// one write through an append-only handle, so that several server
// processes writing at once do not interleave. False when it failed.
bool AppendJournalLine(const std::string& path, const std::string& line);
