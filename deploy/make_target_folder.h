#pragma once

#include <string>

// Makes <Program Files>\<InstallPath><version> with every folder above it and
// returns its path ending with a backslash, or the empty string when the
// shell cannot give or create it.
std::string MakeTargetFolder(std::string version);
