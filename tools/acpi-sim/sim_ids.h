#pragma once

#include "base/win.h"

// The simulator's own class; it answers to the ACPI server's ProgID.
// {23B73B49-7E04-4C5B-97BA-375B56DA4476}
constexpr CLSID kSimClsid = {0x23b73b49, 0x7e04, 0x4c5b, {0x97, 0xba, 0x37, 0x5b, 0x56, 0xda, 0x44, 0x76}};
constexpr wchar_t kSimClsidText[] = L"{23B73B49-7E04-4C5B-97BA-375B56DA4476}";
constexpr wchar_t kSimProgId[] = L"tavriCom.axdata";

// Beside the executable: the machine profile and the call journal.
constexpr char kSimProfileName[] = "acpi-sim.ini";
constexpr char kSimJournalName[] = "acpi-sim.journal";

// What a method answers when the profile holds a malformed value for it:
// HRESULT_FROM_WIN32(ERROR_INVALID_DATA), which is not constexpr everywhere.
constexpr HRESULT kBadProfileResult = static_cast<HRESULT>(0x8007000DL);
