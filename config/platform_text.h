#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Texts that the platform fills into a caller's buffer, read so that neither
// a name cut to the buffer nor a stored text without its terminating NUL is
// taken for more or less than it is.

// A call shaped like GetModuleFileNameA for the running executable: fills the
// buffer of `size` characters and returns how many it copied, `size` itself
// when the name was cut, 0 when it failed.
using ModuleFileNameCall = std::function<std::uint32_t(char* buffer, std::uint32_t size)>;

// The executable's full path, asked for with a buffer of 128 characters that
// doubles while the call fills it to the end. Empty when the call fails.
std::string ReadModuleFileName(const ModuleFileNameCall& call);

// A call shaped like RegQueryValueExA for one value's data: with a null
// `data` it stores the data's size in `*size`; else it fills at most `*size`
// bytes and stores how many. False when it fails.
using StoredTextCall = std::function<bool(char* data, std::uint32_t* size)>;

// The stored data up to its first NUL, whether or not it carries one. True
// on success; only then is text assigned.
bool ReadStoredText(const StoredTextCall& call, std::string& text);
