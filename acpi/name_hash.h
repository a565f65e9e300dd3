#pragma once

#include <cstdint>
#include <type_traits>

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

// The one hash loop: hashes on from `hash` over the units from `name` up to
// `end` (null: no end) or the first NUL, whichever comes first, folding ASCII
// case when asked. Where it stopped goes to *stop: a name that ends within
// its bounds stops on its NUL.
template <typename Unit>
constexpr std::uint64_t HashNameUnits(std::uint64_t hash, const Unit* name, const Unit* end, bool foldCase,
                                      const Unit** stop = nullptr) {
  for (; name != end && *name != 0; ++name) {
    const auto unit = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<Unit>>(*name));
    hash = NameHashStep(hash, foldCase ? FoldAsciiCase(unit) : unit);
  }
  if (stop != nullptr) *stop = name;
  return hash;
}

// Export names are case-sensitive.
constexpr std::uint64_t ExportNameHash(const char* name) {
  return HashNameUnits<char>(kNameHashSeed, name, nullptr, false);
}

constexpr std::uint64_t ModuleNameHash(const char* name) {
  return HashNameUnits<char>(kNameHashSeed, name, nullptr, true);
}
