#pragma once

#include <vector>

#include "tools/acpi-probe/export_call.h"
#include "tools/acpi-probe/image_state.h"
#include "tools/acpi-probe/probe_options.h"

// The report on stdout: one "key: value" line per fact, in a fixed order,
// so that people and scripts read it alike.
void PrintModule(const ProbeOptions& options, const LoadedExports& exports, const ImageState& image);
// `when` is "before" or "after" the calls.
void PrintImageState(const char* when, const ImageState& image);
void PrintOutcome(const ProbeOptions& options, const CallOutcome& outcome);
void PrintConcurrentSummary(const ProbeOptions& options, const std::vector<CallOutcome>& outcomes);

// The exit code for what the calls answered: 0 all answered 1 (and agree),
// 1 otherwise, 3 when any wrote past its buffer.
int ExitCodeFor(const std::vector<CallOutcome>& outcomes);
