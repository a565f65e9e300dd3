#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// One journal line: the method's name, then each argument as it arrived,
// separated by single blanks, ended by CR LF.
class JournalText {
 public:
  explicit JournalText(const char* method) : text_(method) {}

  // A 32-bit value: 0x0000002a.
  void AddValue(std::uint32_t value);
  // A by-reference 32-bit value, as it was on entry: &0x0000002a.
  void AddByRefValue(std::uint32_t value);
  // An array's bytes: [e1 00 ff], or [] without any.
  void AddBytes(const std::uint8_t* bytes, std::size_t count);
  // Anything else, by its VARTYPE: <vt 0x0003>.
  void AddVarType(std::uint16_t varType);

  std::string Line() const { return text_ + "\r\n"; }

 private:
  std::string text_;
};
