#include "config/setup_ini.h"

#include <cstring>
#include <exception>
#include <limits>
#include <new>

#include "base/win.h"

namespace {

constexpr std::uint32_t kFirstBufferSize = 128;
constexpr char kSection[] = "Common";

}  // namespace

SetupIni::~SetupIni() { Close(); }

bool SetupIni::Open(const char* fileName) noexcept {
  bufferSize_ = kFirstBufferSize;
  buffer_.reset(new (std::nothrow) char[bufferSize_]);
  if (buffer_) {
    try {
      fileName_ = fileName ? fileName : "";
      return true;
    } catch (const std::exception&) {
      // Out of memory for the name: fall through to an empty object.
    }
  }
  Close();
  return false;
}

std::string SetupIni::Read(const char* key, const char* defaultValue) {
  if (!buffer_) return defaultValue;
  for (;;) {
    const DWORD copied =
        ::GetPrivateProfileStringA(kSection, key, defaultValue, buffer_.get(), bufferSize_, fileName_.c_str());
    if (copied + 1 < bufferSize_) return std::string(buffer_.get(), ::strnlen(buffer_.get(), bufferSize_));
    // The platform returns size - 1 for a value it had to cut, so a value
    // that fills the buffer exactly is read again with twice the room. The
    // grown buffer stays for later reads.
    if (bufferSize_ > std::numeric_limits<std::uint32_t>::max() / 2) return defaultValue;
    const std::uint32_t grown = bufferSize_ * 2;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[grown]);
    if (!buffer) return defaultValue;
    buffer_ = std::move(buffer);
    bufferSize_ = grown;
  }
}

void SetupIni::Close() noexcept {
  // All three null: the platform's request to flush its cached copy of the file.
  if (!fileName_.empty()) ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, fileName_.c_str());
  fileName_.clear();
  buffer_.reset();
  bufferSize_ = 0;
}
