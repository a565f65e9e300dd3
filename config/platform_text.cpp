#include "config/platform_text.h"

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

bool ReadStoredText(const StoredTextCall& call, std::string& text) {
  std::uint32_t size = 0;
  if (!call(nullptr, &size)) return false;
  if (size == std::numeric_limits<std::uint32_t>::max()) return false;
  // One byte more than stored, zeroed, ends the text even when the stored
  // data carries no terminating NUL.
  std::unique_ptr<char[]> data(new (std::nothrow) char[size + 1]());
  if (!data) return false;
  std::uint32_t read = size;
  if (!call(data.get(), &read)) return false;
  text = data.get();
  return true;
}
