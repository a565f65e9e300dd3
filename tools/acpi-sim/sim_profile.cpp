#include "tools/acpi-sim/sim_profile.h"

#include "base/win.h"
#include "tools/acpi-sim/sim_methods.h"
#include "tools/common/tool_text.h"

namespace {

// Stands for an absent key: no profile value can hold a control character.
constexpr char kAbsent[] = "\x01";

// A profile's hex bytes take blanks between the pairs, nothing else.
constexpr char kByteSeparators[] = " \t";

// A tester's typo would otherwise pass unseen: say which value was refused.
bool Malformed(const char* section, const char* key) {
  std::string message = std::string("acpi-sim: malformed value of [") + section + "] " + key + "\n";
  ::OutputDebugStringA(message.c_str());
  return false;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

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
  if (!ParseProfileBytes(*text, &bytes)) return Malformed(section, key);
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

bool ParseProfileNumber(const std::string& text, std::uint32_t* value) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  const std::string_view number(text.data() + begin, end - begin);

  // A negative number is decimal, down to the lowest 32-bit HRESULT.
  if (!number.empty() && number[0] == '-') {
    const std::optional<std::uint64_t> magnitude = ParseDigits(number.substr(1), 10, 0x80000000ull);
    if (!magnitude) return false;
    *value = 0u - static_cast<std::uint32_t>(*magnitude);
    return true;
  }
  const std::optional<std::uint32_t> parsed = ParseNumber(number);
  if (!parsed) return false;
  *value = *parsed;
  return true;
}

bool ParseProfileBytes(const std::string& text, std::vector<std::uint8_t>* bytes) {
  std::optional<std::vector<std::uint8_t>> parsed = ParseHexBytes(text, kByteSeparators);
  if (!parsed) return false;
  *bytes = std::move(*parsed);
  return true;
}

bool ParseArrayMode(const std::string& text, ArrayMode* mode) {
  if (SameAsciiName(text, "inplace")) {
    *mode = ArrayMode::kInPlace;
  } else if (SameAsciiName(text, "replace")) {
    *mode = ArrayMode::kReplace;
  } else if (SameAsciiName(text, "none")) {
    *mode = ArrayMode::kNone;
  } else {
    return false;
  }
  return true;
}
