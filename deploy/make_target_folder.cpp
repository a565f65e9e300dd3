#include "deploy/make_target_folder.h"

#include "base/win.h"

#include <shlobj.h>

#include "config/setting_rules.h"
#include "config/setup_settings.h"

std::string MakeTargetFolder(std::string version) {
  const std::string installPath = GetInstallPath();
  // setup.ini is writable by the user and this runs elevated: the folder
  // must stay below Program Files, and never be Program Files itself.
  if (!IsSafeTargetSubPath(installPath, version)) return {};

  const std::string subPath = installPath + version;
  char path[MAX_PATH] = {};
  const HRESULT hr = ::SHGetFolderPathAndSubDirA(nullptr, CSIDL_PROGRAM_FILES | CSIDL_FLAG_CREATE, nullptr,
                                                 SHGFP_TYPE_CURRENT, subPath.c_str(), path);
  // S_FALSE counts as failure too.
  if (hr != S_OK) return {};
  return std::string(path) + "\\";
}
