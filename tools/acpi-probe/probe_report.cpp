#include "tools/acpi-probe/probe_report.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "acpi/mbif_records.h"
#include "tools/common/tool_text.h"

namespace {

constexpr std::size_t kLongBuffer = 64;

void Line(const char* key, const std::string& value) { std::printf("%s: %s\n", key, value.c_str()); }

void PrintRecords(const std::vector<std::uint8_t>& reply) {
  const MbifReply parsed = ReadMbifReply(reply.data(), reply.size(), reply.size());
  if (!parsed.count) {
    Line("records", "none (reply shorter than 8 bytes)");
  } else if (parsed.records.size() == *parsed.count) {
    Line("records", std::to_string(*parsed.count));
  } else {
    Line("records", std::to_string(*parsed.count) + " (" + std::to_string(parsed.records.size()) + " in the reply)");
  }
  for (std::size_t i = 0; i < parsed.records.size(); ++i) {
    const MbifRecord& r = parsed.records[i];
    const std::string key = "record " + std::to_string(i + 1);
    Line(key.c_str(), "offset " + std::to_string(r.offset) + ", length " + std::to_string(r.length) + ", value " +
                          (r.value ? FormatWord(*r.value) : std::string("missing")));
  }
  const auto word = MbifFeatureValue(reply.data(), reply.size());
  Line("feature word", word ? FormatWord(*word) : std::string("none"));
}

}  // namespace

void PrintModule(const ProbeOptions& options, const LoadedExports& exports, const ImageState& image) {
  const int digits = static_cast<int>(sizeof(void*) * 2);
  Line("module", options.module);
  Line("loaded at", FormatWord(reinterpret_cast<std::uintptr_t>(exports.Module()), digits) + " (linked for " +
                        FormatWord(image.linkedBase, digits) + ")");
  Line("export", std::string(exports.Name()) + " (ordinal " + std::to_string(exports.Ordinal()) + ")");
}

void PrintImageState(const char* when, const ImageState& image) {
  Line((std::string("image ") + when).c_str(), DescribeImageState(image));
}

void PrintOutcome(const ProbeOptions& options, const CallOutcome& outcome) {
  Line("answer", std::to_string(outcome.answer));
  if (options.command->output) {
    Line("value", FormatWord(outcome.value) + " (was " + FormatWord(options.initialValue) + ")");
  }
  if (!options.command->buffer) return;

  Line("length", std::to_string(outcome.length) + " (sent " + std::to_string(options.EntryLength()) + ")");
  const std::size_t replyBytes = std::min<std::size_t>(outcome.length, outcome.buffer.size());
  const std::vector<std::uint8_t> reply(outcome.buffer.begin(), outcome.buffer.begin() + replyBytes);
  Line("reply", FormatHexBytes(reply.data(), reply.size()));
  if (outcome.buffer.size() <= kLongBuffer || options.dump) {
    Line("buffer", FormatHexBytes(outcome.buffer.data(), outcome.buffer.size()));
  }
  if (outcome.guardWritten == 0) {
    Line("guard", "intact (" + std::to_string(options.guard) + " bytes)");
  } else {
    Line("guard", std::to_string(outcome.guardWritten) + " of " + std::to_string(options.guard) +
                      " bytes written, first at +" + std::to_string(outcome.firstGuardWritten));
  }
  if (std::string(options.command->exportName) == "AcpiMbif") PrintRecords(reply);
}

void PrintConcurrentSummary(const ProbeOptions& options, const std::vector<CallOutcome>& outcomes) {
  Line("threads", std::to_string(options.threads) + ", calls each: " + std::to_string(options.repeat));
  const auto answered =
      std::count_if(outcomes.begin(), outcomes.end(), [](const CallOutcome& o) { return o.answer == 1; });
  Line("answered 1",
       std::to_string(answered) + " of " + std::to_string(static_cast<std::size_t>(options.threads) * options.repeat));
  std::vector<const CallOutcome*> distinct;
  for (const CallOutcome& o : outcomes) {
    if (std::none_of(distinct.begin(), distinct.end(), [&](const CallOutcome* d) { return *d == o; })) {
      distinct.push_back(&o);
    }
  }
  Line("outcomes", distinct.size() == 1 ? std::string("all equal") : std::to_string(distinct.size()) + " different");
}

int ExitCodeFor(const std::vector<CallOutcome>& outcomes) {
  if (outcomes.empty()) return 1;
  for (const CallOutcome& o : outcomes) {
    if (o.guardWritten != 0) return 3;
  }
  for (const CallOutcome& o : outcomes) {
    if (o.answer != 1 || !(o == outcomes.front())) return 1;
  }
  return 0;
}
