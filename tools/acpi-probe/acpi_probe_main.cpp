// acpi-probe: loads an executable with the ACPI exports (setup.exe) the way
// another program does, calls one export and reports what it answered.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <objbase.h>

#include "base/win.h"
#include "tools/acpi-probe/concurrent_calls.h"
#include "tools/acpi-probe/export_call.h"
#include "tools/acpi-probe/image_state.h"
#include "tools/acpi-probe/probe_options.h"
#include "tools/acpi-probe/probe_report.h"
#include "tools/acpi-probe/soak.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.empty() || arguments[0] == "--help" || arguments[0] == "/?") {
    std::fputs(kProbeUsage, arguments.empty() ? stderr : stdout);
    return arguments.empty() ? 2 : 0;
  }
  if (arguments.size() >= 2 && arguments[1] == "soak") {
    std::uint32_t threads = 8, repeat = 500;
    for (std::size_t i = 2; i + 1 < arguments.size(); i += 2) {
      const unsigned long n = std::strtoul(arguments[i + 1].c_str(), nullptr, 0);
      if (arguments[i] == "--threads" && n >= 1 && n <= 64)
        threads = static_cast<std::uint32_t>(n);
      else if (arguments[i] == "--repeat" && n >= 1)
        repeat = static_cast<std::uint32_t>(n);
      else {
        std::fprintf(stderr, "acpi-probe: soak takes --threads <1..64> and --repeat <n>\n");
        return 2;
      }
    }
    const HRESULT com = ::CoInitialize(nullptr);
    const int code = RunSoak(arguments[0], threads, repeat);
    std::fflush(stdout);
    if (SUCCEEDED(com)) ::CoUninitialize();
    return code;
  }

  std::string error;
  const std::optional<ProbeOptions> options = ParseProbeOptions(arguments, &error);
  if (!options) {
    std::fprintf(stderr, "acpi-probe: %s\n\n%s", error.c_str(), kProbeUsage);
    return 2;
  }

  // The exports need COM on the calling thread; a client initialises it.
  const HRESULT com = ::CoInitialize(nullptr);
  int exitCode = 2;
  {
    LoadedExports exports;
    if (!exports.Load(options->module, *options->command, &error)) {
      std::fprintf(stderr, "acpi-probe: %s\n", error.c_str());
    } else {
      const ImageState before = InspectImage(exports.Module());
      PrintModule(*options, exports, before);
      PrintImageState("before", before);
      std::vector<CallOutcome> outcomes;
      if (options->threads == 1 && options->repeat == 1) {
        outcomes.push_back(CallExport(exports, *options));
      } else {
        outcomes = CallConcurrently(exports, *options);
        PrintConcurrentSummary(*options, outcomes);
      }
      if (outcomes.empty()) {
        std::fprintf(stderr, "acpi-probe: the threads could not be started\n");
      } else {
        PrintOutcome(*options, outcomes.front());
        exitCode = ExitCodeFor(outcomes);
      }
      PrintImageState("after", InspectImage(exports.Module()));
    }
  }
  std::fflush(stdout);
  if (SUCCEEDED(com)) ::CoUninitialize();
  return exitCode;
}
