// DecideLogPlace over any owners and DACLs: a place is usable only while no
// one untrusted may change a folder on the way, granting more never makes a
// refused place usable, and only missing folders are ever created.
#include <cstddef>
#include <cstdint>

#include "setup/log_place.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint32_t Next32() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = value << 8 | Next();
    return value;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

Trustee AnyTrustee(std::uint8_t byte) { return static_cast<Trustee>(byte % 3); }

FoundEntry AnyEntry(Bytes& bytes) {
  FoundEntry entry;
  const std::uint8_t flags = bytes.Next();
  entry.state = static_cast<FoundEntry::State>(flags % 3);
  entry.folder = flags & 0x04;
  entry.reparsePoint = flags & 0x08;
  entry.links = (flags & 0x10) ? 2 : 1;
  entry.security.read = !(flags & 0x20);
  entry.security.hasDacl = !(flags & 0x40);
  entry.security.owner = AnyTrustee(bytes.Next());
  const int count = bytes.Next() % 6;
  for (int i = 0; i < count; ++i) {
    const std::uint8_t kind = bytes.Next();
    entry.security.entries.push_back({(kind & 0x80) == 0, AnyTrustee(kind), bytes.Next32()});
  }
  return entry;
}

bool Present(const FoundEntry& entry) { return entry.state == FoundEntry::State::kPresent; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bytes bytes(data, size);
  FoundEntry entries[3] = {AnyEntry(bytes), AnyEntry(bytes), AnyEntry(bytes)};
  const LogPlace place = DecideLogPlace(entries[0], entries[1], entries[2]);

  Require(!place.createKorven || (place.usable && entries[0].state == FoundEntry::State::kMissing),
          "Korven is created only where it is missing");
  Require(!place.createVentaro || (place.usable && entries[1].state == FoundEntry::State::kMissing),
          "Ventaro is created only where it is missing");
  if (!place.usable) {
    // Granting someone more never turns a refused place into a usable one.
    for (FoundEntry& entry : entries) entry.security.entries.push_back({true, Trustee::kOther, bytes.Next32()});
    Require(!DecideLogPlace(entries[0], entries[1], entries[2]).usable, "a grant made a refused place usable");
    return 0;
  }
  for (int i = 0; i < 2; ++i) {
    if (!Present(entries[i])) continue;
    Require(entries[i].folder && !entries[i].reparsePoint, "a usable place has plain folders on the way");
    Require(entries[i].security.owner == Trustee::kTrusted, "a usable place has folders of trusted owners");
    // Any right to change entries, granted to someone untrusted, refuses the place.
    FoundEntry changed[3] = {entries[0], entries[1], entries[2]};
    const std::uint32_t right = 1u << (bytes.Next() % 32);
    changed[i].security.entries.push_back({true, static_cast<Trustee>(1 + bytes.Next() % 2), right});
    if (right & kChangeRights) {
      Require(!DecideLogPlace(changed[0], changed[1], changed[2]).usable, "a folder others may change was used");
    } else {
      Require(DecideLogPlace(changed[0], changed[1], changed[2]).usable, "a right that changes nothing refused");
    }
  }
  return 0;
}
