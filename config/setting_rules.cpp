#include "config/setting_rules.h"

#include <cctype>
#include <cstring>

namespace {

constexpr std::size_t kMaxName = 255;
// MAX_PATH less the terminator.
constexpr std::size_t kMaxSubPath = 259;

bool IsForbiddenCharacter(char c) {
  return static_cast<unsigned char>(c) < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr;
}

// The part before the first dot, without the blanks that Windows drops
// before an extension ("con .txt" is the console too).
bool IsDeviceName(const std::string& name) {
  std::string base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '1' &&
         base[3] <= '9';
}

}  // namespace

bool IsSafeFileName(const std::string& name) {
  if (name.empty() || name.size() > kMaxName) return false;
  for (char c : name) {
    if (IsForbiddenCharacter(c)) return false;
  }
  if (name.back() == '.' || name.back() == ' ') return false;  // also catches . and ..
  return !IsDeviceName(name);
}

bool IsSafeInstallPath(const std::string& installPath) {
  if (installPath.empty()) return true;
  std::string path = installPath;
  if (path.back() == '\\') path.pop_back();
  // A leading backslash, a doubled one or a UNC prefix each leave an empty
  // name, which IsSafeFileName refuses.
  std::string::size_type start = 0;
  for (;;) {
    const std::string::size_type end = path.find('\\', start);
    if (!IsSafeFileName(path.substr(start, end - start))) return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

bool IsSafeVersion(const std::string& version) { return version.empty() || IsSafeFileName(version); }

bool IsSafeTargetSubPath(const std::string& installPath, const std::string& version) {
  if (installPath.empty() && version.empty()) return false;
  if (installPath.size() + version.size() > kMaxSubPath) return false;
  return IsSafeInstallPath(installPath) && IsSafeVersion(version);
}

bool IsSafeExecution(const std::string& execution) { return execution.empty() || IsSafeFileName(execution); }
