#pragma once

#include <cstdint>

// 64-bit FNV-1a over the code units of a name. Code that runs before its own
// image is relocated compares module and export names by these hashes: a
// hash of a literal folds to an immediate, while the literal itself would be
// read through an address that is not yet valid.

constexpr std::uint64_t kNameHashSeed = 0xcbf29ce484222325ull;

constexpr std::uint64_t NameHashStep(std::uint64_t hash, std::uint32_t unit) {
  return (hash ^ unit) * 0x100000001b3ull;
}

// Module names are compared without regard to ASCII case, as the loader does.
constexpr std::uint32_t FoldAsciiCase(std::uint32_t unit) {
  return unit >= 'A' && unit <= 'Z' ? unit + ('a' - 'A') : unit;
}

// Export names are case-sensitive.
constexpr std::uint64_t ExportNameHash(const char* name) {
  std::uint64_t hash = kNameHashSeed;
  for (; *name != '\0'; ++name) hash = NameHashStep(hash, static_cast<unsigned char>(*name));
  return hash;
}

constexpr std::uint64_t ModuleNameHash(const char* name) {
  std::uint64_t hash = kNameHashSeed;
  for (; *name != '\0'; ++name) {
    hash = NameHashStep(hash, FoldAsciiCase(static_cast<unsigned char>(*name)));
  }
  return hash;
}
