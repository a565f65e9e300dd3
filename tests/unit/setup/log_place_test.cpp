#include "setup/log_place.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using State = FoundEntry::State;

constexpr std::uint32_t kFileAllAccess = 0x001F01FF;
constexpr std::uint32_t kReadAndExecute = 0x001200A9;  // FILE_GENERIC_READ | FILE_GENERIC_EXECUTE

AccessEntry Allow(Trustee who, std::uint32_t mask) { return {true, who, mask}; }
AccessEntry Deny(Trustee who, std::uint32_t mask) { return {false, who, mask}; }

// As the installer makes its folders: SYSTEM and Administrators in full,
// users may read.
FolderSecurity Protected() {
  return {true,
          Trustee::kTrusted,
          true,
          {Allow(Trustee::kTrusted, kFileAllAccess), Allow(Trustee::kTrusted, kFileAllAccess),
           Allow(Trustee::kOther, kReadAndExecute)}};
}

FolderSecurity With(AccessEntry extra) {
  FolderSecurity security = Protected();
  security.entries.push_back(extra);
  return security;
}

FoundEntry Missing() { return {}; }
FoundEntry Unreadable() { return {State::kUnreadable, false, false, 0, {}}; }
FoundEntry Folder(FolderSecurity security = Protected()) { return {State::kPresent, true, false, 1, security}; }
FoundEntry FolderLink() { return {State::kPresent, true, true, 1, Protected()}; }  // junction or folder symlink
FoundEntry File(std::uint32_t links = 1) { return {State::kPresent, false, false, links, {}}; }
FoundEntry FileLink() { return {State::kPresent, false, true, 1, {}}; }  // file symlink

TEST(DecideLogPlace, CreatesMissingFoldersAndRefusesAnythingThatCouldRedirectTheLog) {
  const struct {
    const char* what;
    FoundEntry korven, ventaro, file;
    bool usable, createKorven, createVentaro;
  } cases[] = {
      {"first run: nothing there", Missing(), Missing(), Missing(), true, true, true},
      {"Korven left by another program", Folder(), Missing(), Missing(), true, false, true},
      {"folders there, no file yet", Folder(), Folder(), Missing(), true, false, false},
      {"the file of an earlier run", Folder(), Folder(), File(), true, false, false},

      {"Korven a junction", FolderLink(), Folder(), File(), false, false, false},
      {"Ventaro a junction", Folder(), FolderLink(), Missing(), false, false, false},
      {"the file a symbolic link", Folder(), Folder(), FileLink(), false, false, false},
      {"the file a second name of another", Folder(), Folder(), File(2), false, false, false},
      {"the file one of many names", Folder(), Folder(), File(0xFFFFFFFF), false, false, false},

      {"Korven a file", File(), Missing(), Missing(), false, false, false},
      {"Ventaro a file", Folder(), File(), Missing(), false, false, false},
      {"a folder where the file goes", Folder(), Folder(), Folder(), false, false, false},

      {"Korven cannot be looked at", Unreadable(), Missing(), Missing(), false, false, false},
      {"Ventaro cannot be looked at", Folder(), Unreadable(), Missing(), false, false, false},
      // Refused before anything is created.
      {"the file cannot be looked at", Missing(), Missing(), Unreadable(), false, false, false},

      // Folders someone else may change: refused, and never repaired.
      {"Korven others may change", Folder(With(Allow(Trustee::kOther, 0x1301FF))), Missing(), Missing(), false, false,
       false},
      {"Ventaro alone others may change", Folder(), Folder(With(Allow(Trustee::kOther, 0x1301FF))), File(), false,
       false, false},
      {"both others may change", Folder(With(Allow(Trustee::kOther, 0x1301FF))),
       Folder(With(Allow(Trustee::kOther, 0x1301FF))), File(), false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const LogPlace place = DecideLogPlace(c.korven, c.ventaro, c.file);
    EXPECT_EQ(place.usable, c.usable);
    EXPECT_EQ(place.createKorven, c.createKorven);
    EXPECT_EQ(place.createVentaro, c.createVentaro);
  }
}

TEST(OnlyTrustedCanChange, TrustsAFolderOnlyWhenItsOwnerIsTrustedAndNoOneElseMayChangeItsEntries) {
  FolderSecurity unread = Protected();
  unread.read = false;
  FolderSecurity userOwned = Protected();
  userOwned.owner = Trustee::kOther;
  FolderSecurity creatorOwned = Protected();
  creatorOwned.owner = Trustee::kCreatorOwner;
  FolderSecurity noDacl = Protected();
  noDacl.hasDacl = false;
  noDacl.entries.clear();
  FolderSecurity emptyDacl = Protected();
  emptyDacl.entries.clear();

  const struct {
    const char* what;
    FolderSecurity security;
    bool trusted;
  } cases[] = {
      {"as the installer makes it", Protected(), true},
      {"an empty DACL: no one may do anything", emptyDacl, true},
      {"security that could not be read", unread, false},
      {"owned by an ordinary user", userOwned, false},
      {"owned by CREATOR OWNER", creatorOwned, false},
      {"no DACL: everyone may do anything", noDacl, false},

      // Each right that changes entries, granted to someone else.
      {"FILE_ADD_FILE", With(Allow(Trustee::kOther, 0x2)), false},
      {"FILE_ADD_SUBDIRECTORY", With(Allow(Trustee::kOther, 0x4)), false},
      {"FILE_WRITE_EA", With(Allow(Trustee::kOther, 0x10)), false},
      {"FILE_DELETE_CHILD", With(Allow(Trustee::kOther, 0x40)), false},
      {"FILE_WRITE_ATTRIBUTES", With(Allow(Trustee::kOther, 0x100)), false},
      {"DELETE", With(Allow(Trustee::kOther, 0x10000)), false},
      {"WRITE_DAC", With(Allow(Trustee::kOther, 0x40000)), false},
      {"WRITE_OWNER", With(Allow(Trustee::kOther, 0x80000)), false},
      {"MAXIMUM_ALLOWED", With(Allow(Trustee::kOther, 0x2000000)), false},
      {"GENERIC_ALL", With(Allow(Trustee::kOther, 0x10000000)), false},
      {"GENERIC_WRITE", With(Allow(Trustee::kOther, 0x40000000)), false},
      {"Everyone in full, as Wine shows a folder others may write to", With(Allow(Trustee::kOther, 0x1301FF)), false},
      {"CREATOR OWNER in full, as ProgramData hands down", With(Allow(Trustee::kCreatorOwner, kFileAllAccess)), false},
      {"CREATOR OWNER may only add files", With(Allow(Trustee::kCreatorOwner, 0x2)), false},

      // What changes nothing.
      {"others may read, list and traverse", With(Allow(Trustee::kOther, kReadAndExecute)), true},
      {"GENERIC_READ | GENERIC_EXECUTE", With(Allow(Trustee::kOther, 0xA0000000)), true},
      {"others denied everything", With(Deny(Trustee::kOther, 0xFFFFFFFF)), true},
      {"a trusted account in full", With(Allow(Trustee::kTrusted, 0xFFFFFFFF)), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(OnlyTrustedCanChange(c.security), c.trusted);
  }
}

}  // namespace
