#include "tools/acpi-sim/journal_text.h"

#include <cstdio>

void JournalText::AddValue(std::uint32_t value) {
  char piece[16];
  std::snprintf(piece, sizeof piece, " 0x%08x", static_cast<unsigned>(value));
  text_ += piece;
}

void JournalText::AddByRefValue(std::uint32_t value) {
  char piece[16];
  std::snprintf(piece, sizeof piece, " &0x%08x", static_cast<unsigned>(value));
  text_ += piece;
}

void JournalText::AddBytes(const std::uint8_t* bytes, std::size_t count) {
  static const char kDigits[] = "0123456789abcdef";
  text_.reserve(text_.size() + 3 + count * 3);
  text_ += " [";
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) text_ += ' ';
    text_ += kDigits[bytes[i] >> 4];
    text_ += kDigits[bytes[i] & 0x0F];
  }
  text_ += ']';
}

void JournalText::AddVarType(std::uint16_t varType) {
  char piece[16];
  std::snprintf(piece, sizeof piece, " <vt 0x%04x>", static_cast<unsigned>(varType));
  text_ += piece;
}
