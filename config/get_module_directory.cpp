#include "base/win.h"
#include "config/module_directory.h"
#include "config/read_module_file_name.h"

std::string GetModuleDirectory() {
  return ModuleDirectoryOf(ReadModuleFileName([](char* buffer, std::uint32_t size) {
    return static_cast<std::uint32_t>(::GetModuleFileNameA(nullptr, buffer, size));
  }));
}
