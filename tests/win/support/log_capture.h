#pragma once

// Makes the default logger one that keeps every message text in memory,
// at debug level, for as long as the object lives; then puts the previous
// default logger back.

#include <spdlog/logger.h>

#include <memory>
#include <string>
#include <vector>

namespace test {

class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // The texts logged so far, without the pattern's time stamp or level.
  std::vector<std::string> Lines() const;

 private:
  class Sink;
  std::shared_ptr<Sink> sink_;
  std::shared_ptr<spdlog::logger> previous_;
};

}  // namespace test
