#pragma once

#include <cstdint>
#include <functional>
#include <string>

// A call shaped like GetModuleFileNameA for the running executable: fills the
// buffer of `size` characters and returns how many it copied, `size` itself
// when the name was cut, 0 when it failed.
using ModuleFileNameCall = std::function<std::uint32_t(char* buffer, std::uint32_t size)>;

// The executable's full path, asked for with a buffer of 128 characters that
// doubles while the call fills it to the end. Empty when the call fails.
std::string ReadModuleFileName(const ModuleFileNameCall& call);
