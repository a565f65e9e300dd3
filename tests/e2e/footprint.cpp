#include "footprint.h"

#include <algorithm>
#include <cstdint>

#include "base/unique_handle.h"
#include "base/win.h"
#include "support/text.h"

namespace e2e {
namespace {

using test::Lower;

bool Skipped(const std::string& path, const std::vector<std::string>& skipped) {
  const std::string lower = Lower(path);
  return std::any_of(skipped.begin(), skipped.end(), [&](const std::string& s) { return lower == Lower(s); });
}

void AddFolder(const std::string& folder, const FootprintScope& scope, Footprint& into) {
  WIN32_FIND_DATAA data;
  ScopedFindHandle find(::FindFirstFileA((folder + "*").c_str(), &data));
  if (!find) return;
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = folder + name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      into.insert(path + "\\");
      if (!Skipped(path + "\\", scope.skippedFolders)) AddFolder(path + "\\", scope, into);
      continue;
    }
    const std::uint64_t size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    const std::uint64_t written =
        (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
    into.insert(path + " size " + std::to_string(size) + " written " + std::to_string(written));
  } while (::FindNextFileA(find.Get(), &data));
}

// Values and sub-keys of a key, `depth` levels down.
void AddKey(HKEY parent, const std::string& path, const std::string& name, int depth, const FootprintScope& scope,
            Footprint& into) {
  ScopedRegKey key;
  if (::RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) return;
  for (DWORD i = 0;; ++i) {
    char value[16384];
    DWORD length = sizeof value;
    DWORD type = 0, size = 0;
    if (::RegEnumValueA(key.Get(), i, value, &length, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    into.insert(path + " = " + std::string(value, length) + " type " + std::to_string(type) + " size " +
                std::to_string(size));
  }
  for (DWORD i = 0;; ++i) {
    char sub[256];
    DWORD length = sizeof sub;
    if (::RegEnumKeyExA(key.Get(), i, sub, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    const std::string subPath = path + "\\" + std::string(sub, length);
    into.insert(subPath + "\\");
    if (depth > 1 && !Skipped(subPath, scope.skippedKeys)) {
      AddKey(key.Get(), subPath, std::string(sub, length), depth - 1, scope, into);
    }
  }
}

}  // namespace

Footprint TakeFootprint(const FootprintScope& scope) {
  Footprint footprint;
  FootprintScope files = scope;
  files.skippedFolders.push_back("C:\\users\\");
  AddFolder("C:\\", files, footprint);
  for (const std::string& folder : scope.extraFolders) AddFolder(folder, scope, footprint);
  // Where an installer could write: the root, the software keys (less the
  // COM classes, tens of thousands of keys that only the simulator's
  // registration touches) and the services.
  FootprintScope registry = scope;
  registry.skippedKeys.push_back("HKLM\\SOFTWARE\\Classes");
  registry.skippedKeys.push_back("HKLM\\SOFTWARE\\Wow6432Node\\Classes");
  AddKey(HKEY_LOCAL_MACHINE, "HKLM", "", 1, registry, footprint);
  AddKey(HKEY_LOCAL_MACHINE, "HKLM\\SOFTWARE", "SOFTWARE", 16, registry, footprint);
  AddKey(HKEY_LOCAL_MACHINE, "HKLM\\SYSTEM\\CurrentControlSet\\Services", "SYSTEM\\CurrentControlSet\\Services", 2,
         registry, footprint);
  return footprint;
}

std::vector<std::string> FootprintChanges(const Footprint& before, const Footprint& after) {
  std::vector<std::string> changes;
  for (const std::string& entry : after) {
    if (!before.count(entry)) changes.push_back("+ " + entry);
  }
  for (const std::string& entry : before) {
    if (!after.count(entry)) changes.push_back("- " + entry);
  }
  return changes;
}

}  // namespace e2e
