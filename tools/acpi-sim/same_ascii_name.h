#pragma once

#include <string>

// Whether text spells name, ignoring the case of ASCII letters. Names of
// options, profile words and automation members compare this way.
bool SameAsciiName(const std::string& text, const char* name);
bool SameAsciiName(const wchar_t* text, const char* name);
