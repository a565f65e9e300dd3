#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/win.h"
#include "tools/acpi-probe/probe_options.h"

// The executable with the exports, loaded as any other program would load
// it, and the one export a run calls.
class LoadedExports {
 public:
  LoadedExports() = default;
  ~LoadedExports();
  LoadedExports(const LoadedExports&) = delete;
  LoadedExports& operator=(const LoadedExports&) = delete;

  // False, with *error saying why, when the module or the export is missing.
  bool Load(const std::string& module, const ProbeCommand& command, std::string* error);

  HMODULE Module() const { return module_; }
  FARPROC Function() const { return function_; }
  // The name asked for (decorated on i686) and its ordinal.
  const char* Name() const { return name_; }
  int Ordinal() const { return ordinal_; }

 private:
  HMODULE module_ = nullptr;
  FARPROC function_ = nullptr;
  const char* name_ = "";
  int ordinal_ = 0;
};

// What one call answered and left behind.
struct CallOutcome {
  int answer = 0;
  std::uint32_t value = 0;            // the output variable afterwards
  std::uint32_t length = 0;           // the length afterwards
  std::vector<std::uint8_t> buffer;   // the whole buffer afterwards
  std::size_t guardWritten = 0;       // guard bytes found changed
  std::size_t firstGuardWritten = 0;  // offset after the buffer of the first of them

  bool operator==(const CallOutcome& other) const;
};

// Calls the export once with fresh buffer and variables built from options.
CallOutcome CallExport(const LoadedExports& exports, const ProbeOptions& options);
