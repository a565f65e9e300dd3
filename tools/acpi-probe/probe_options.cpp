#include "tools/acpi-probe/probe_options.h"

#include <algorithm>
#include <iterator>

#include "acpi/acpi_export_names.h"
#include "tools/common/tool_text.h"

namespace {

constexpr ProbeCommand kCommands[] = {
    {"init", "AcpiInit", 0, false, false},
    {"get-item", "AcpiGetItem", 1, false, true},
    {"get-item-ex", "AcpiGetItemEx", 2, false, true},
    {"set-item", "AcpiSetItem", 3, false, false},
    {"get-item-buffer", "AcpiGetItemBuffer", 2, true, false},
    {"set-item-buffer", "AcpiSetItemBuffer", 2, true, false},
    {"mbif", "AcpiMbif", 0, true, false},
    {"ggrp", "AcpiGGrp", 1, true, false},
    {"call-method", "AcpiCallMethod", 1, true, false},
};

constexpr bool SameName(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) ++a, ++b;
  return *a == *b;
}

// One command for each export of the table, and none for anything else.
constexpr bool CommandsMatchTheExportTable() {
  if (std::size(kCommands) != std::size(kAcpiExportNames)) return false;
  for (const ProbeCommand& command : kCommands) {
    bool found = false;
    for (const AcpiExportName& entry : kAcpiExportNames) found = found || SameName(entry.name, command.exportName);
    if (!found) return false;
  }
  return true;
}
static_assert(CommandsMatchTheExportTable(), "acpi-probe has no command for an export, or one for none");

constexpr std::uint32_t kMbifReplySize = 4096;
constexpr std::uint32_t kMaxThreads = 64;
constexpr std::uint32_t kMaxBuffer = 16u << 20;

// Request bytes may be separated by blanks, commas or colons, as dumps
// write them.
constexpr char kByteSeparators[] = " \t,:";

bool IsMbif(const ProbeCommand* command) { return std::string(command->exportName) == "AcpiMbif"; }

// The number after the option at arguments[*i], stepping *i onto it.
// Nothing, with *error saying why, when there is none or it is not a number.
std::optional<std::uint32_t> OptionValue(const std::vector<std::string>& arguments, std::size_t* i,
                                         std::string* error) {
  const std::string& option = arguments[*i];
  if (*i + 1 == arguments.size()) {
    *error = option + " needs a value";
    return std::nullopt;
  }
  const std::string& text = arguments[++*i];
  const std::optional<std::uint32_t> n = ParseNumber(text);
  if (!n) *error = option + ": not a number: " + text;
  return n;
}

// --threads and --repeat, in their ranges; false for anything else.
bool ReadCount(const std::string& option, std::uint32_t n, std::uint32_t* threads, std::uint32_t* repeat) {
  if (option == "--threads" && n >= 1 && n <= kMaxThreads) {
    *threads = n;
  } else if (option == "--repeat" && n >= 1) {
    *repeat = n;
  } else {
    return false;
  }
  return true;
}

}  // namespace

const char kProbeUsage[] =
    "usage: acpi-probe <executable> <call> [values...] [bytes...] [options]\n"
    "\n"
    "Loads <executable> (setup.exe, or any program with the ACPI exports) as\n"
    "another program would, calls one export and prints what it answered.\n"
    "\n"
    "calls:\n"
    "  init                                     AcpiInit\n"
    "  get-item <item>                          AcpiGetItem\n"
    "  get-item-ex <item> <argument>            AcpiGetItemEx\n"
    "  set-item <item> <second> <third>         AcpiSetItem\n"
    "  get-item-buffer <item> <argument> [bytes] AcpiGetItemBuffer\n"
    "  set-item-buffer <item> <argument> [bytes] AcpiSetItemBuffer\n"
    "  mbif                                     AcpiMbif (records and feature word)\n"
    "  ggrp <selector> [bytes]                  AcpiGGrp\n"
    "  call-method <method> [bytes]             AcpiCallMethod\n"
    "  soak [--threads n] [--repeat n]          every export in turn from n threads\n"
    "                                           (8 x 500), each answer against the\n"
    "                                           same call made alone\n"
    "\n"
    "Values are decimal or 0x hex. Bytes are hex pairs (\"e1 00 ff\" or e100ff)\n"
    "and start the request buffer.\n"
    "\n"
    "options:\n"
    "  --length <n>   length passed in (default: the number of request bytes;\n"
    "                 mbif: 4096)\n"
    "  --size <n>     bytes in the buffer (default: the larger of length and\n"
    "                 request, at least 1)\n"
    "  --fill <byte>  the buffer's bytes after the request (default 0x00)\n"
    "  --value <n>    the output variable before the call (default 0xcccccccc)\n"
    "  --guard <n>    guard bytes after the buffer, checked afterwards (default 16)\n"
    "  --threads <n>  call from n threads at once, 1 to 64 (default 1)\n"
    "  --repeat <n>   calls per thread (default 1)\n"
    "  --dump         print the whole buffer even when it is long\n"
    "\n"
    "exit code: 0 the export answered 1 (every call, all alike); 1 it answered 0\n"
    "(or calls disagreed); 2 usage, load or lookup error; 3 bytes after the\n"
    "buffer were written.\n";

const ProbeCommand* FindProbeCommand(const std::string& command) {
  for (const ProbeCommand& c : kCommands) {
    if (command == c.command) return &c;
  }
  return nullptr;
}

std::uint32_t ProbeOptions::EntryLength() const {
  if (length) return *length;
  if (IsMbif(command) && request.empty()) return kMbifReplySize;
  return static_cast<std::uint32_t>(request.size());
}

std::uint32_t ProbeOptions::BufferSize() const {
  if (size) return std::max<std::uint32_t>(*size, 1);
  return std::max<std::uint32_t>({EntryLength(), static_cast<std::uint32_t>(request.size()), 1});
}

std::optional<ProbeOptions> ParseProbeOptions(const std::vector<std::string>& arguments, std::string* error) {
  ProbeOptions options;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    if (a == "--dump") {
      options.dump = true;
      continue;
    }
    if (a.rfind("--", 0) != 0) {
      positional.push_back(a);
      continue;
    }
    const std::optional<std::uint32_t> n = OptionValue(arguments, &i, error);
    if (!n) return std::nullopt;
    if (a == "--length") {
      options.length = *n;
    } else if (a == "--size") {
      options.size = *n;
    } else if (a == "--fill" && *n <= 0xff) {
      options.fill = static_cast<std::uint8_t>(*n);
    } else if (a == "--value") {
      options.initialValue = *n;
    } else if (a == "--guard") {
      options.guard = *n;
    } else if (!ReadCount(a, *n, &options.threads, &options.repeat)) {
      *error = "unknown option or value out of range: " + a + " " + arguments[i];
      return std::nullopt;
    }
  }

  if (positional.size() < 2) {
    *error = "an executable and a call are needed";
    return std::nullopt;
  }
  options.module = positional[0];
  options.command = FindProbeCommand(positional[1]);
  if (options.command == nullptr) {
    *error = "unknown call: " + positional[1];
    return std::nullopt;
  }
  std::size_t next = 2;
  for (int v = 0; v < options.command->values; ++v, ++next) {
    if (next == positional.size()) {
      *error =
          std::string(options.command->command) + " needs " + std::to_string(options.command->values) + " value(s)";
      return std::nullopt;
    }
    const std::optional<std::uint32_t> n = ParseNumber(positional[next]);
    if (!n) {
      *error = "not a number: " + positional[next];
      return std::nullopt;
    }
    options.values.push_back(*n);
  }
  if (next < positional.size() && !options.command->buffer) {
    *error = std::string(options.command->command) + " takes no bytes: " + positional[next];
    return std::nullopt;
  }
  for (; next < positional.size(); ++next) {
    const auto bytes = ParseHexBytes(positional[next], kByteSeparators);
    if (!bytes) {
      *error = "not hex bytes: " + positional[next];
      return std::nullopt;
    }
    options.request.insert(options.request.end(), bytes->begin(), bytes->end());
  }
  if (options.BufferSize() > kMaxBuffer || options.guard > kMaxBuffer) {
    *error = "buffer or guard too large";
    return std::nullopt;
  }
  return options;
}

bool IsSoakCommandLine(const std::vector<std::string>& arguments) {
  return arguments.size() >= 2 && arguments[1] == "soak";
}

std::optional<SoakOptions> ParseSoakOptions(const std::vector<std::string>& arguments, std::string* error) {
  SoakOptions options;
  options.module = arguments[0];
  for (std::size_t i = 2; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    if (a != "--threads" && a != "--repeat") {
      *error = "soak takes --threads <1.." + std::to_string(kMaxThreads) + "> and --repeat <n>, not " + a;
      return std::nullopt;
    }
    const std::optional<std::uint32_t> n = OptionValue(arguments, &i, error);
    if (!n) return std::nullopt;
    if (!ReadCount(a, *n, &options.threads, &options.repeat)) {
      *error = "value out of range: " + a + " " + arguments[i];
      return std::nullopt;
    }
  }
  return options;
}
