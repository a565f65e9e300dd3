#include "tools/acpi-sim/sim_method.h"

#include "tools/acpi-sim/same_ascii_name.h"

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
