#pragma once

#include <vector>

#include "tools/acpi-probe/export_call.h"
#include "tools/acpi-probe/probe_options.h"

// Calls the export from options.threads threads, options.repeat times each.
// The threads initialise COM, wait at a common start and are then released
// together, so that first calls into a freshly loaded module overlap.
// Outcomes in thread order, each thread's calls in order; empty when the
// threads could not be started.
std::vector<CallOutcome> CallConcurrently(const LoadedExports& exports, const ProbeOptions& options);
