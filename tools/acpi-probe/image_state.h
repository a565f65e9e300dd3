#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/win.h"

// How far a loaded executable is ready to run: whether its base relocations
// have been applied (compared with its file on disk) and whether its import
// slots hold the addresses the platform gives for them. A program that loads
// an executable as a library may find neither done; the exports do both on
// their first call.
struct ImageState {
  bool readable = false;          // the file and headers could be read
  std::uintptr_t linkedBase = 0;  // the base the file was linked for
  bool moved = false;             // loaded away from that base
  std::size_t relocations = 0;
  std::size_t relocationsApplied = 0;
  std::size_t imports = 0;
  std::size_t importsBound = 0;
};

ImageState InspectImage(HMODULE module);

// "relocations 812 of 812 applied, imports 96 of 96 bound"
std::string DescribeImageState(const ImageState& state);
