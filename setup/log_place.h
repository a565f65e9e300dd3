#pragma once

#include <cstdint>
#include <vector>

// Whom an owner or an access entry names, as far as trusting a folder goes.
enum class Trustee {
  kTrusted,       // SYSTEM, Administrators, TrustedInstaller or the run's own user
  kCreatorOwner,  // whoever creates an entry below: any user who may add one
  kOther,
};

// One entry of a folder's DACL. Entries inherited only by what lies below
// count too: they decide who may change the files there.
struct AccessEntry {
  bool allows = true;  // false for an entry that only denies
  Trustee trustee = Trustee::kOther;
  std::uint32_t mask = 0;
};

// A folder's owner and DACL, as read through a handle to the folder itself.
struct FolderSecurity {
  bool read = false;  // false when they could not be read
  Trustee owner = Trustee::kOther;
  bool hasDacl = false;  // no DACL at all lets everyone do anything
  std::vector<AccessEntry> entries;
};

// The rights that let their holder add, write, delete, rename, redirect or
// re-permission a folder's entries, the generic ones that imply them included.
constexpr std::uint32_t kChangeRights = 0x00000002u     // FILE_ADD_FILE, FILE_WRITE_DATA
                                        | 0x00000004u   // FILE_ADD_SUBDIRECTORY, FILE_APPEND_DATA
                                        | 0x00000010u   // FILE_WRITE_EA
                                        | 0x00000040u   // FILE_DELETE_CHILD
                                        | 0x00000100u   // FILE_WRITE_ATTRIBUTES: a folder may become a junction
                                        | 0x00010000u   // DELETE
                                        | 0x00040000u   // WRITE_DAC
                                        | 0x00080000u   // WRITE_OWNER
                                        | 0x02000000u   // MAXIMUM_ALLOWED
                                        | 0x10000000u   // GENERIC_ALL
                                        | 0x40000000u;  // GENERIC_WRITE

// What a look at one entry on the way to the log file found. Links are not
// followed: a link is seen as itself.
struct FoundEntry {
  enum class State {
    kMissing,  // neither the entry nor, possibly, its parent exists
    kPresent,
    kUnreadable,  // something is there, but it could not be looked at
  };
  State state = State::kMissing;
  bool folder = false;
  bool reparsePoint = false;  // a junction, a symbolic link or another reparse point
  std::uint32_t links = 0;    // the names the entry has (hard links)
  FolderSecurity security;    // for a folder
};

// Whether only the trusted can change the folder's entries: its owner is
// trusted and no entry of its DACL grants anyone else a right to change them.
bool OnlyTrustedCanChange(const FolderSecurity& security);

// Whether the log may be written, and which of its folders to create for it.
struct LogPlace {
  bool usable = false;
  bool createKorven = false;
  bool createVentaro = false;
};

// The folders Korven and Ventaro and the file setup.exe.log, as found. The
// installer runs elevated, so it writes no log where an entry could send
// its writes somewhere else (a reparse point on the way, a file with a
// second name), where someone untrusted could put such an entry in later
// (a folder they may change), or where an entry is not what it should be.
// Missing folders are to be created.
LogPlace DecideLogPlace(const FoundEntry& korven, const FoundEntry& ventaro, const FoundEntry& file);
