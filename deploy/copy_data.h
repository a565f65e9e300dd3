#pragma once

#include <string>

#include "base/win.h"

// Copies every file at the top level of sourceFolder (sub-folders left out)
// into targetFolder, which ends with a backslash, replacing files of the
// same name. False when a file could not be copied, or when targetFolder is
// empty; a destination file that another program holds open is kept as it
// is and does not count. A source file another program holds is waited for
// a few seconds (for all files together), then counts as failed. Every file
// is attempted.
bool CopyData(const std::string& sourceFolder, const std::string& targetFolder);

// The same with the platform's file copy replaced, so that tests can make
// it fail in ways the file system will not show.
using CopyFileFunction = BOOL(WINAPI*)(LPCSTR existingFile, LPCSTR newFile, BOOL failIfExists);
bool CopyData(const std::string& sourceFolder, const std::string& targetFolder, CopyFileFunction copyFile);
