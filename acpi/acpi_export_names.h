#pragma once

// The export table of the executable: each function under its name, its
// stdcall-decorated name (how the 32-bit build exports it) and its ordinal,
// which follows the byte-wise order of the decorated names.
struct AcpiExportName {
  const char* name;
  const char* decorated;
  int ordinal;
};

inline constexpr AcpiExportName kAcpiExportNames[] = {
    {"AcpiCallMethod", "_AcpiCallMethod@12", 1},
    {"AcpiGGrp", "_AcpiGGrp@12", 2},
    {"AcpiGetItem", "_AcpiGetItem@8", 3},
    {"AcpiGetItemBuffer", "_AcpiGetItemBuffer@16", 4},
    {"AcpiGetItemEx", "_AcpiGetItemEx@12", 5},
    {"AcpiInit", "_AcpiInit@0", 6},
    {"AcpiMbif", "_AcpiMbif@8", 7},
    {"AcpiSetItem", "_AcpiSetItem@12", 8},
    {"AcpiSetItemBuffer", "_AcpiSetItemBuffer@16", 9},
};

// The name a client of this build's architecture asks for: the 32-bit build
// exports the decorated names, the x64 build (no stdcall there) the plain ones.
constexpr const char* ExportedName(const AcpiExportName& entry) {
#if defined(__i386__) || defined(_M_IX86)
  return entry.decorated;
#else
  return entry.name;
#endif
}
