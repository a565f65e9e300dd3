#include "tools/acpi-sim/same_ascii_name.h"

namespace {

template <typename Char>
Char Fold(Char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
}

}  // namespace

bool SameAsciiName(const std::string& text, const char* name) {
  std::size_t i = 0;
  for (; name[i] != '\0'; ++i) {
    if (i >= text.size() || Fold(text[i]) != Fold(name[i])) return false;
  }
  return i == text.size();
}

bool SameAsciiName(const wchar_t* text, const char* name) {
  std::size_t i = 0;
  for (; name[i] != '\0'; ++i) {
    if (text[i] == L'\0' || Fold(text[i]) != static_cast<wchar_t>(Fold(name[i]))) return false;
  }
  return text[i] == L'\0';
}
