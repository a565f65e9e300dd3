#include "tools/acpi-sim/sim_profile.h"

#include "base/win.h"
#include "tools/acpi-sim/parse_hex_bytes.h"
#include "tools/acpi-sim/parse_profile_number.h"

namespace {

// Stands for an absent key: no profile value can hold a control character.
constexpr char kAbsent[] = "\x01";

// A tester's typo would otherwise pass unseen: say which value was refused.
bool Malformed(const char* section, const char* key) {
  std::string message = std::string("acpi-sim: malformed value of [") + section + "] " + key + "\n";
  ::OutputDebugStringA(message.c_str());
  return false;
}

}  // namespace

std::optional<std::string> SimProfile::Text(const char* section, const char* key) const {
  for (DWORD size = 128;; size *= 2) {
    std::vector<char> buffer(size);
    DWORD length = ::GetPrivateProfileStringA(section, key, kAbsent, buffer.data(), size, path_.c_str());
    // A value that filled the buffer may have been cut short.
    if (length + 1 < size || size >= (1u << 24)) {
      std::string text(buffer.data(), length);
      if (text == kAbsent) return std::nullopt;
      return text;
    }
  }
}

bool SimProfile::Number(const char* section, const char* key, std::optional<std::uint32_t>* value) const {
  std::optional<std::string> text = Text(section, key);
  if (!text || text->empty()) {
    value->reset();
    return true;
  }
  std::uint32_t number = 0;
  if (!ParseProfileNumber(*text, &number)) return Malformed(section, key);
  *value = number;
  return true;
}

bool SimProfile::Bytes(const char* section, const char* key, std::optional<std::vector<std::uint8_t>>* value) const {
  std::optional<std::string> text = Text(section, key);
  if (!text) {
    value->reset();
    return true;
  }
  std::vector<std::uint8_t> bytes;
  if (!ParseHexBytes(*text, &bytes)) return Malformed(section, key);
  *value = std::move(bytes);
  return true;
}

bool SimProfile::Mode(const char* section, const char* key, ArrayMode* value) const {
  std::optional<std::string> text = Text(section, key);
  if (!text || text->empty()) return true;
  return ParseArrayMode(*text, value) || Malformed(section, key);
}

bool SimProfile::ItemValue(std::uint32_t item, std::uint32_t* value) const {
  // The keys of [Items]: names separated by NULs, ended by two NULs.
  std::vector<char> keys;
  for (DWORD size = 128;; size *= 2) {
    keys.assign(size, '\0');
    DWORD length = ::GetPrivateProfileStringA("Items", nullptr, "", keys.data(), size, path_.c_str());
    if (length + 2 < size || size >= (1u << 24)) break;
  }
  for (const char* key = keys.data(); *key != '\0'; key += std::char_traits<char>::length(key) + 1) {
    std::uint32_t number = 0;
    if (!ParseProfileNumber(key, &number) || number != item) continue;
    std::optional<std::uint32_t> stored;
    if (!Number("Items", key, &stored)) return false;
    *value = stored.value_or(0);
    return true;
  }
  *value = 0;
  return true;
}
