#include "setup/log_place.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using State = FoundEntry::State;

FoundEntry Missing() { return {}; }
FoundEntry Unreadable() { return {State::kUnreadable, false, false, 0}; }
FoundEntry Folder() { return {State::kPresent, true, false, 1}; }
FoundEntry FolderLink() { return {State::kPresent, true, true, 1}; }  // junction or folder symlink
FoundEntry File(std::uint32_t links = 1) { return {State::kPresent, false, false, links}; }
FoundEntry FileLink() { return {State::kPresent, false, true, 1}; }  // file symlink

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
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const LogPlace place = DecideLogPlace(c.korven, c.ventaro, c.file);
    EXPECT_EQ(place.usable, c.usable);
    EXPECT_EQ(place.createKorven, c.createKorven);
    EXPECT_EQ(place.createVentaro, c.createVentaro);
  }
}

}  // namespace
