#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Reads single values from section "Common" of one INI file through the
// platform's profile functions. Construct, Open once, Read any number of
// times, destroy; the destructor asks the platform to flush its cached copy
// of the file. It never writes a value.
class SetupIni {
 public:
  SetupIni() = default;
  ~SetupIni();
  SetupIni(const SetupIni&) = delete;
  SetupIni& operator=(const SetupIni&) = delete;

  // Takes the file's path and a 128-character value buffer. False only when
  // memory runs out; the object is then empty again.
  bool Open(const char* fileName) noexcept;
  // The key's value, or defaultValue when the platform finds none (no file,
  // no section "Common", no key), when the reader is not open or memory for a
  // larger buffer runs out. The buffer doubles until the value fits.
  std::string Read(const char* key, const char* defaultValue);
  // Asks the platform to flush the file (only once a file name is set) and
  // empties the object.
  void Close() noexcept;

  // Characters in the value buffer: 0 while there is none.
  std::uint32_t BufferSize() const { return bufferSize_; }

 private:
  std::string fileName_;
  std::unique_ptr<char[]> buffer_;
  std::uint32_t bufferSize_ = 0;
};
