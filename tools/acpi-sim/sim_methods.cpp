#include "tools/acpi-sim/sim_methods.h"

namespace {

using A = SimArg;

const SimMethod kMethods[] = {
    {"iAcpiInit", 1, SimWork::kNothing, nullptr, 0, {}},
    {"iAcpiGetItem", 2, SimWork::kStoreItem, nullptr, 2, {A::kValue, A::kByRefValue}},
    {"iAcpiGetItemEx", 3, SimWork::kStoreItem, nullptr, 3, {A::kValue, A::kValue, A::kByRefValue}},
    {"iAcpiSetItem", 4, SimWork::kNothing, nullptr, 3, {A::kValue, A::kValue, A::kValue}},
    {"iAcpiGetItemBuffer",
     5,
     SimWork::kBuffer,
     "iAcpiGetItemBuffer",
     4,
     {A::kValue, A::kValue, A::kHolder, A::kByRefValue}},
    {"iAcpiSetItemBuffer",
     6,
     SimWork::kBuffer,
     "iAcpiSetItemBuffer",
     4,
     {A::kValue, A::kValue, A::kHolder, A::kByRefValue}},
    {"iAcpiMbif", 7, SimWork::kBuffer, "Mbif", 2, {A::kHolder, A::kByRefValue}},
    {"iAcpiGGrp", 8, SimWork::kBuffer, "iAcpiGGrp", 3, {A::kValue, A::kHolder, A::kByRefValue}},
    {"iAcpiCallMethod", 9, SimWork::kBuffer, "iAcpiCallMethod", 3, {A::kValue, A::kHolder, A::kByRefValue}},
};

template <typename Char>
Char Fold(Char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
}

void PutU16(std::vector<std::uint8_t>* out, std::uint16_t value) {
  out->push_back(static_cast<std::uint8_t>(value));
  out->push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutU32(std::vector<std::uint8_t>* out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<std::uint8_t>(value >> shift));
}

}  // namespace

const SimMethod* FindSimMethodByName(const wchar_t* name) {
  if (name == nullptr) return nullptr;
  for (const SimMethod& method : kMethods) {
    if (SameAsciiName(name, method.name)) return &method;
  }
  return nullptr;
}

const SimMethod* FindSimMethodById(std::int32_t dispid) {
  for (const SimMethod& method : kMethods) {
    if (method.dispid == dispid) return &method;
  }
  return nullptr;
}

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

std::vector<std::uint8_t> BuildMbifReply(std::uint32_t featureWord) {
  const std::uint32_t values[3] = {1, 2, featureWord};
  std::vector<std::uint8_t> reply(kMbifSignature, kMbifSignature + 4);
  PutU32(&reply, 3);
  for (std::uint16_t id = 1; id <= 3; ++id) {
    PutU16(&reply, id);
    PutU16(&reply, 4);
    PutU32(&reply, values[id - 1]);
    PutU32(&reply, 0);  // the record's rest: max(L, 4) bytes
  }
  return reply;
}
