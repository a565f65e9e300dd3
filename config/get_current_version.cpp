#include "config/get_current_version.h"
#include "config/read_version.h"
#include "config/reg_reader.h"
#include "config/setup_settings.h"

std::string GetCurrentVersion() {
  RegReader reader;
  // A missing setting has shown its message box and gives the empty path.
  if (!reader.Open(GetRegistryKey())) return {};
  std::string version;
  if (!ReadVersion(reader.Key(), version)) return {};
  return version;
}
