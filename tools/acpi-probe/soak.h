#pragma once

#include <cstdint>
#include <string>

// acpi-probe <executable> soak [--threads N] [--repeat N]
//
// Calls every export in turn, the buffer exports with buffers of 0, 1, 16
// and 4,096 bytes, from N threads (default 8), N calls per thread on
// average (default 500), after ten rounds of every call from each thread.
// Each call's outcome must equal the outcome of the same call made alone,
// one at a time, before the soak starts: under load the exports answer as
// they do alone. Prints what it saw, one "key: value" line each:
//   soak calls, soak wrong, first wrong (when any), fresh handle before and
//   after (the value a newly opened handle gets: higher afterwards when
//   handles leaked), the committed private bytes and the heap bytes in use,
//   each after the first 500 calls and at the end.
// Exit code 0 when every call was right, 1 when one was not, 2 when the
// executable or an export could not be loaded.
int RunSoak(const std::string& module, std::uint32_t threads, std::uint32_t repeat);
