#pragma once

// The server's nine methods as data: their names, DISPIDs and arguments,
// what each does besides answering, and the machine-information reply.
// Pure (no <windows.h>).

#include <cstdint>
#include <string>
#include <vector>

// The kinds of argument the server's methods take.
enum class SimArg {
  kValue,       // VT_UI4
  kByRefValue,  // VT_BYREF | VT_UI4: an in/out 32-bit variable of the caller
  kHolder,      // VT_BYREF | VT_VARIANT pointing at a VT_ARRAY | VT_I1 holder
};

// What a method does besides answering with its HRESULT.
enum class SimWork {
  kNothing,    // iAcpiInit, iAcpiSetItem
  kStoreItem,  // stores the item's value through its last argument
  kBuffer,     // answers through the holder and the length (its last two)
};

// One method of the dispatch interface. Its profile section bears its
// name; a buffer method reads its reply from replySection.
struct SimMethod {
  const char* name;
  std::int32_t dispid;
  SimWork work;
  const char* replySection;  // buffer methods only
  unsigned argCount;
  SimArg args[4];  // in declared order, first parameter first
};

// The method of that name, in any case of its ASCII letters; null if none.
const SimMethod* FindSimMethodByName(const wchar_t* name);
// The method of that DISPID; null if none.
const SimMethod* FindSimMethodById(std::int32_t dispid);

// Whether text spells name, ignoring the case of ASCII letters. Names of
// options, profile words and automation members compare this way.
bool SameAsciiName(const std::string& text, const char* name);
bool SameAsciiName(const wchar_t* text, const char* name);

// The feature word of a machine without a profile: one that has the
// fan-control feature (bits 8 to 15 at 3).
constexpr std::uint32_t kDefaultFeatureWord = 0x00000302;

// The "MBIF" signature that opens every reply this server builds.
constexpr std::uint8_t kMbifSignature[4] = {'M', 'B', 'I', 'F'};

// The machine-information reply of a fan-control machine: the signature,
// a record count of 3, then three records (id, length 4, value, 4 bytes of
// rest) whose values are 1, 2 and the feature word; 44 bytes, little-endian.
std::vector<std::uint8_t> BuildMbifReply(std::uint32_t featureWord);
