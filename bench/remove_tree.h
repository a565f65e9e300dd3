#pragma once

#include <string>

// Removes a folder and everything below it; true when it is gone.
bool RemoveTree(const std::string& folder);
