#include "support/log_capture.h"

#include <spdlog/sinks/base_sink.h>
#include <spdlog/spdlog.h>

#include <mutex>

namespace test {

class LogCapture::Sink : public spdlog::sinks::base_sink<std::mutex> {
 public:
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }

 protected:
  void sink_it_(const spdlog::details::log_msg& message) override {
    lines_.emplace_back(message.payload.data(), message.payload.size());
  }
  void flush_() override {}

 private:
  std::vector<std::string> lines_;
};

LogCapture::LogCapture() : sink_(std::make_shared<Sink>()), previous_(spdlog::default_logger()) {
  auto logger = std::make_shared<spdlog::logger>("capture", sink_);
  logger->set_level(spdlog::level::debug);
  spdlog::set_default_logger(logger);
}

LogCapture::~LogCapture() { spdlog::set_default_logger(previous_); }

std::vector<std::string> LogCapture::Lines() const { return sink_->Lines(); }

}  // namespace test
