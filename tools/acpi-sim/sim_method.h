#pragma once

#include <cstdint>

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
