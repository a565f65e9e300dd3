#pragma once

// What a run could have changed on the machine: every file and folder of
// drive C: (less the user profiles, whose folders Wine links to the Unix
// home) and of the given extra folders, with size and time of last write, and every key and value
// name where an installer could write in HKLM, with the value's type and
// size. Two footprints taken before
// and after a run show everything the run wrote, less what is left out on
// purpose (the folders and keys the installer owns).

#include <set>
#include <string>
#include <vector>

namespace e2e {

struct FootprintScope {
  // Folders (ending with a backslash) taken besides drive C:, for instance
  // a folder in the user's profile.
  std::vector<std::string> extraFolders;
  // Folders (ending with a backslash) and HKLM key paths whose contents
  // are not taken; compared without regard to case.
  std::vector<std::string> skippedFolders;
  std::vector<std::string> skippedKeys;
};

using Footprint = std::set<std::string>;

Footprint TakeFootprint(const FootprintScope& scope);

// The entries of `after` that are not in `before` ("+ ...") and those of
// `before` that are gone ("- ..."), in order.
std::vector<std::string> FootprintChanges(const Footprint& before, const Footprint& after);

}  // namespace e2e
