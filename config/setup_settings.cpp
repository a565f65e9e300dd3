#include "config/setup_settings.h"

#include "base/path_text.h"
#include "base/win.h"
#include "config/message_box.h"
#include "config/platform_text.h"
#include "config/setup_ini.h"

namespace {

// The default passed to every read. The platform returns it for a missing
// file, section or key, so it marks a setting that cannot be read (a value
// that really is "error737" included).
constexpr char kMissing[] = "error737";

// The value of key in setup.ini beside the executable, or the empty string
// after showing message when it cannot be read.
std::string ReadSetting(const char* key, const char* message) {
  const std::string path = GetModuleDirectory() + "setup.ini";
  SetupIni ini;
  if (!ini.Open(path.c_str())) {
    ShowMessageBox(message);
    return {};
  }
  std::string value = ini.Read(key, kMissing);
  if (value == kMissing) {
    ShowMessageBox(message);
    return {};
  }
  return value;
}

}  // namespace

std::string GetModuleDirectory() {
  return ModuleDirectoryOf(ReadModuleFileName([](char* buffer, std::uint32_t size) {
    return static_cast<std::uint32_t>(::GetModuleFileNameA(nullptr, buffer, size));
  }));
}

std::string GetServiceName() { return ReadSetting("ServiceName", "Can not read service name from setup.ini"); }

std::string GetInstallPath() {
  return WithTrailingBackslash(ReadSetting("InstallPath", "Can not read install path from setup.ini"));
}

std::string GetRegistryKey() { return ReadSetting("RegistryKey", "Can not read registry key from setup.ini"); }

std::string GetExecution() { return ReadSetting("Execution", "Can not read executable file name from setup.ini"); }

std::string GetTargetVersion() { return ReadSetting("version", "Can not read version from setup.ini"); }
