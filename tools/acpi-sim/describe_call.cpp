#include "tools/acpi-sim/describe_call.h"

#include <cstdint>

#include "tools/acpi-sim/journal_text.h"

namespace {

void DescribeHolder(const VARIANT* holder, JournalText* text) {
  if (holder == nullptr) {
    text->AddVarType(VT_BYREF | VT_VARIANT);
    return;
  }
  SAFEARRAY* array = holder->vt == (VT_ARRAY | VT_I1) ? holder->parray : nullptr;
  if (array == nullptr || array->cbElements != 1) {
    text->AddVarType(holder->vt);
    return;
  }
  std::uint64_t cells = 1;
  for (USHORT i = 0; i < array->cDims; ++i) cells *= array->rgsabound[i].cElements;
  void* data = nullptr;
  if (FAILED(::SafeArrayAccessData(array, &data))) {
    text->AddVarType(holder->vt);
    return;
  }
  text->AddBytes(static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(cells));
  ::SafeArrayUnaccessData(array);
}

}  // namespace

std::string DescribeCall(const char* method, const VARIANTARG* args, unsigned count) {
  JournalText text(method);
  for (unsigned i = count; i-- > 0;) {
    const VARIANTARG& arg = args[i];
    if (arg.vt == VT_UI4) {
      text.AddValue(arg.ulVal);
    } else if (arg.vt == (VT_BYREF | VT_UI4) && arg.pulVal != nullptr) {
      text.AddByRefValue(*arg.pulVal);
    } else if (arg.vt == (VT_BYREF | VT_VARIANT)) {
      DescribeHolder(arg.pvarVal, &text);
    } else {
      text.AddVarType(arg.vt);
    }
  }
  return text.Line();
}
