#include "tools/acpi-sim/journal.h"

#include <cstdint>

#include "base/unique_handle.h"
#include "tools/common/tool_text.h"

namespace {

// The line of one call, built argument by argument.
class JournalText {
 public:
  explicit JournalText(const char* method) : text_(method) {}

  void AddValue(std::uint32_t value) { text_ += " " + FormatWord(value); }
  void AddByRefValue(std::uint32_t value) { text_ += " &" + FormatWord(value); }
  void AddBytes(const std::uint8_t* bytes, std::size_t count) { text_ += " [" + FormatHexBytes(bytes, count) + "]"; }
  void AddVarType(VARTYPE varType) { text_ += " <vt " + FormatWord(varType, 4) + ">"; }

  std::string Line() const { return text_ + "\r\n"; }

 private:
  std::string text_;
};

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

bool AppendJournalLine(const std::string& path, const std::string& line) {
  // Appends from several server processes at once may land on one offset
  // (measured under Wine), so the servers take turns.
  ScopedHandle turn(::CreateMutexA(nullptr, FALSE, "Local\\acpi-sim-journal"));
  if (!turn.IsValid()) return false;
  const DWORD waited = ::WaitForSingleObject(turn.Get(), 10000);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return false;

  bool written = false;
  {
    ScopedHandle file(::CreateFileA(path.c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD count = 0;
    written = file.IsValid() &&
              ::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &count, nullptr) &&
              count == line.size();
  }
  ::ReleaseMutex(turn.Get());
  return written;
}
