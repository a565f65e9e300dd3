#pragma once

// Calls into the simulator as the ACPI bridge does: ProgID lookup, an
// out-of-process object, GetIDsOfNames, then Invoke with hand-built
// DISPPARAMS.

#include <cstdint>
#include <vector>

#include <wrl/client.h>

#include <oaidl.h>
#include <oleauto.h>
#include "acpi/acpi_automation.h"
#include "base/win.h"

namespace test {

// A VT_ARRAY | VT_I1 holder of the test's, cleared on destruction.
class ByteHolder {
 public:
  explicit ByteHolder(const std::vector<std::uint8_t>& bytes);
  ~ByteHolder() { ::VariantClear(&variant_); }
  ByteHolder(const ByteHolder&) = delete;
  ByteHolder& operator=(const ByteHolder&) = delete;

  VARIANT* Get() { return &variant_; }
  VARTYPE Type() const { return variant_.vt; }
  // The bytes of the array it holds now; empty when it holds none.
  std::vector<std::uint8_t> Bytes() const;

 private:
  VARIANT variant_;
};

// The argument VARIANTs, as the ACPI bridge makes them.
using AcpiAutomation::Ui4;
using AcpiAutomation::Ui4Ref;
using AcpiAutomation::VariantRef;

// A new server object, as CoCreateInstance gives it for the ProgID.
HRESULT CreateSimObject(Microsoft::WRL::ComPtr<IDispatch>* object);

// Calls the method by name with args in declared order; flags as Invoke
// takes them.
HRESULT CallOn(IDispatch* object, const wchar_t* method, std::vector<VARIANT> args, WORD flags = DISPATCH_METHOD);

// Creates a server object, calls the method and releases the object.
HRESULT CallSim(const wchar_t* method, std::vector<VARIANT> args);

// Calls a buffer method with the holder and length, after the method's
// leading values (0x11 and 0x22, or 0x33 for a selector).
HRESULT CallBufferMethod(const wchar_t* method, ByteHolder* holder, ULONG* length);

// Reads a little-endian value out of a reply.
std::uint32_t ReadU32(const std::vector<std::uint8_t>& bytes, std::size_t offset);
std::uint16_t ReadU16(const std::vector<std::uint8_t>& bytes, std::size_t offset);

}  // namespace test
