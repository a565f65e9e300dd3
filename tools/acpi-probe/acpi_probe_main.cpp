// acpi-probe: loads an executable with the ACPI exports (setup.exe) the way
// another program does, calls one export and reports what it answered.

#include <cstdio>
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
  std::string error;
  if (IsSoakCommandLine(arguments)) {
    const std::optional<SoakOptions> soak = ParseSoakOptions(arguments, &error);
    if (!soak) {
      std::fprintf(stderr, "acpi-probe: %s\n\n%s", error.c_str(), kProbeUsage);
      return 2;
    }
    const HRESULT com = ::CoInitialize(nullptr);
    const int code = RunSoak(soak->module, soak->threads, soak->repeat);
    std::fflush(stdout);
    if (SUCCEEDED(com)) ::CoUninitialize();
    return code;
  }

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
