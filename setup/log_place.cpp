#include "setup/log_place.h"

namespace {

using State = FoundEntry::State;

bool SafeFolder(const FoundEntry& entry) {
  if (entry.state == State::kMissing) return true;
  return entry.state == State::kPresent && entry.folder && !entry.reparsePoint && OnlyTrustedCanChange(entry.security);
}

bool SafeFile(const FoundEntry& entry) {
  if (entry.state == State::kMissing) return true;
  return entry.state == State::kPresent && !entry.folder && !entry.reparsePoint && entry.links <= 1;
}

}  // namespace

bool OnlyTrustedCanChange(const FolderSecurity& security) {
  if (!security.read || security.owner != Trustee::kTrusted || !security.hasDacl) return false;
  for (const AccessEntry& entry : security.entries) {
    if (entry.allows && entry.trustee != Trustee::kTrusted && (entry.mask & kChangeRights) != 0) return false;
  }
  return true;
}

LogPlace DecideLogPlace(const FoundEntry& korven, const FoundEntry& ventaro, const FoundEntry& file) {
  LogPlace place;
  if (!SafeFolder(korven) || !SafeFolder(ventaro) || !SafeFile(file)) return place;
  place.usable = true;
  place.createKorven = korven.state == State::kMissing;
  place.createVentaro = ventaro.state == State::kMissing;
  return place;
}
