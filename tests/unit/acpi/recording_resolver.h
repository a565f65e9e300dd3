#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "acpi/name_hash.h"
#include "acpi/pe_image.h"

// A resolver for PeImage's routines that answers from what a test gave it
// and records each request in order, addresses as offsets from the image
// under test: "open +0x1000 0x1000", "close +0x1000 0x1000 (0x20)",
// "load a.dll", "find a.dll!Name", "find a.dll!#7", "module b.dll".
class RecordingResolver {
 public:
  explicit RecordingResolver(const std::uint8_t* base) : base_(base) {}

  // A loaded module that forwarders may name.
  void AddModule(const std::string& name, PeImage::Image image) {
    modules_[ModuleNameHash(name.c_str())] = {name, image};
  }
  // A module that loads, and a function of it ("Name" or "#7").
  void AddModuleThatLoads(const std::string& module) { loadable_[module] = true; }
  void AddFunction(const std::string& module, const std::string& function, std::uintptr_t address) {
    functions_[module + "!" + function] = address;
    AddModuleThatLoads(module);
  }
  // Fails the n-th Open (counting from 1); 0: none fails.
  void FailOpen(int n) { failOpen_ = n; }

  bool Open(void* at, std::size_t size, std::uint32_t* old) {
    log_.push_back("open " + Offset(at) + " " + Hex(size));
    if (++opens_ == failOpen_) return false;
    *old = 0x20 + opens_;  // a different protection for each, to see it restored
    open_.push_back({At(at), size});
    everOpened_.push_back({At(at), size});
    return true;
  }
  void Close(void* at, std::size_t size, std::uint32_t old) {
    log_.push_back("close " + Offset(at) + " " + Hex(size) + " (" + Hex(old) + ")");
    for (auto range = open_.begin(); range != open_.end(); ++range) {
      if (range->first == At(at) && range->second == size) {
        open_.erase(range);
        return;
      }
    }
    unmatchedCloses_ = true;
  }
  void* LoadModule(const char* name) {
    log_.push_back(std::string("load ") + name);
    const auto found = loadable_.find(name);
    return found == loadable_.end() ? nullptr : const_cast<char*>(found->first.c_str());
  }
  std::uintptr_t ByName(void* module, const char* name) { return Find(module, name); }
  std::uintptr_t ByOrdinal(void* module, std::uint16_t ordinal) { return Find(module, "#" + std::to_string(ordinal)); }
  PeImage::Image ModuleNamed(std::uint64_t nameHash) const {
    const auto found = modules_.find(nameHash);
    log_.push_back("module " + (found == modules_.end() ? std::string("(none)") : found->second.first));
    return found == modules_.end() ? PeImage::Image() : found->second.second;
  }

  const std::vector<std::string>& Log() const { return log_; }
  // Every Open closed by a Close of the same range.
  bool Balanced() const { return open_.empty() && !unmatchedCloses_; }
  // Whether the bytes [offset, offset + size) of the image were within a
  // range opened at some point. The platform protects whole pages: a range
  // opens every page it touches (pages counted from the image's base).
  bool WasOpened(std::size_t offset, std::size_t size) const {
    const std::size_t first = offset / PeImage::kPageSize;
    const std::size_t last = (offset + size - 1) / PeImage::kPageSize;
    for (const auto& range : everOpened_) {
      if (first >= range.first / PeImage::kPageSize && last <= (range.first + range.second - 1) / PeImage::kPageSize) {
        return true;
      }
    }
    return false;
  }

 private:
  static std::string Hex(std::uint64_t value) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    do {
      text.insert(text.begin(), digits[value % 16]);
      value /= 16;
    } while (value != 0);
    return "0x" + text;
  }
  std::size_t At(const void* at) const {
    return static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(at) - reinterpret_cast<std::uintptr_t>(base_));
  }
  std::string Offset(const void* at) const { return "+" + Hex(At(at)); }
  std::uintptr_t Find(void* module, const std::string& function) {
    const std::string key = std::string(static_cast<const char*>(module)) + "!" + function;
    log_.push_back("find " + key);
    const auto found = functions_.find(key);
    return found == functions_.end() ? 0 : found->second;
  }

  const std::uint8_t* base_;
  std::map<std::uint64_t, std::pair<std::string, PeImage::Image>> modules_;
  std::map<std::string, std::uintptr_t> functions_;
  std::map<std::string, bool> loadable_;
  int failOpen_ = 0;
  int opens_ = 0;
  std::vector<std::pair<std::size_t, std::size_t>> open_;
  std::vector<std::pair<std::size_t, std::size_t>> everOpened_;
  bool unmatchedCloses_ = false;
  mutable std::vector<std::string> log_;
};
