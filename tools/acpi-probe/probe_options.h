#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The export a probe run calls, and how its arguments look.
struct ProbeCommand {
  const char* command;     // as typed: "get-item-buffer"
  const char* exportName;  // plain name: "AcpiGetItemBuffer"
  int values;              // leading 32-bit values on the command line
  bool buffer;             // takes a buffer and its length
  bool output;             // has an output variable
};

const ProbeCommand* FindProbeCommand(const std::string& command);

struct ProbeOptions {
  std::string module;
  const ProbeCommand* command = nullptr;
  std::vector<std::uint32_t> values;
  std::vector<std::uint8_t> request;
  std::optional<std::uint32_t> length;
  std::optional<std::uint32_t> size;
  std::uint8_t fill = 0;
  std::uint32_t initialValue = 0xcccccccc;
  std::uint32_t guard = 16;
  std::uint32_t threads = 1;
  std::uint32_t repeat = 1;
  bool dump = false;

  // The length passed in: --length, else the request's size (AcpiMbif: 4096).
  std::uint32_t EntryLength() const;
  // Bytes in the buffer: --size, else enough for the length and the request, at least 1.
  std::uint32_t BufferSize() const;
};

// Nothing, with *error saying why, when the command line is not understood.
std::optional<ProbeOptions> ParseProbeOptions(const std::vector<std::string>& arguments, std::string* error);

// acpi-probe <executable> soak [--threads n] [--repeat n]
struct SoakOptions {
  std::string module;
  std::uint32_t threads = 8;
  std::uint32_t repeat = 500;
};

// Whether the command line asks for a soak rather than one call.
bool IsSoakCommandLine(const std::vector<std::string>& arguments);

// The soak's counts, read and bounded as the same options of a call are.
// Nothing, with *error saying why, for any other option or a bad value.
std::optional<SoakOptions> ParseSoakOptions(const std::vector<std::string>& arguments, std::string* error);

extern const char kProbeUsage[];
