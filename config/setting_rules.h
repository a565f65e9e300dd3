#pragma once

#include <string>

// setup.ini lies in a folder that the user can write to, while the installer
// runs elevated and turns its values into paths. These rules keep those paths
// inside the folders they are meant for.

// One folder or file name: 1 to 255 characters; no control character and
// none of \ / : * ? " < > |; not . or ..; not ending in a dot or a blank
// (Windows strips them); not a device name (CON, PRN, AUX, NUL, COM1 to
// COM9, LPT1 to LPT9, in any case, with or without an extension).
bool IsSafeFileName(const std::string& name);

// InstallPath, relative to the program-files folder: empty, or safe names
// joined by single backslashes, optionally ending with one backslash as
// GetInstallPath returns it. No drive, root, UNC prefix or parent step.
bool IsSafeInstallPath(const std::string& installPath);

// The version, the last folder level: empty or one safe name.
bool IsSafeVersion(const std::string& version);

// The sub-path below the program-files folder made of both: each safe, not
// both empty (that would be the program-files folder itself), and at most
// 259 characters together.
bool IsSafeTargetSubPath(const std::string& installPath, const std::string& version);

// Execution, the service executable's name in the target folder: one safe
// name. Empty passes: it leaves the folder itself, which cannot be started.
bool IsSafeExecution(const std::string& execution);
