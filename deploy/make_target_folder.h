#pragma once

#include <string>

// Makes <Program Files>\<InstallPath><version> with every folder above it and
// returns its path ending with a backslash, or the empty string when the
// shell cannot give or create it. An InstallPath or version that could lead
// outside Program Files, or both empty, makes nothing and gives the empty
// string.
std::string MakeTargetFolder(std::string version);
