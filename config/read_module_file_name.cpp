#include "config/read_module_file_name.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>

std::string ReadModuleFileName(const ModuleFileNameCall& call) {
  std::uint32_t size = 128;
  for (;;) {
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[size]);
    if (!buffer) return {};
    const std::uint32_t copied = call(buffer.get(), size);
    // A failed call leaves the buffer undefined: nothing in it is a path.
    if (copied == 0) return {};
    if (copied < size) return std::string(buffer.get(), std::find(buffer.get(), buffer.get() + copied, '\0'));
    // Cut to the buffer's length, possibly without a terminating NUL: ask
    // again with twice the room.
    if (size > std::numeric_limits<std::uint32_t>::max() / 2) return {};
    size *= 2;
  }
}
