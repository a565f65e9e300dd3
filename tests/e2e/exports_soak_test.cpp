// The exports of the real setup.exe under load: many threads of one client,
// every export in turn, against a resident server, through acpi-probe. A
// test with a bounded count (how fast it goes belongs to bench/).
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "installation.h"
#include "support/process.h"
#include "support/text.h"

namespace e2e {
namespace {

// acpi-probe's "key: value" lines.
std::map<std::string, std::string> Facts(const std::string& output) {
  std::map<std::string, std::string> facts;
  for (const std::string& line : test::SplitLines(output)) {
    const std::size_t colon = line.find(": ");
    if (colon != std::string::npos) facts[line.substr(0, colon)] = line.substr(colon + 2);
  }
  return facts;
}

TEST(ExportsSoak, EightThreadsOfFiveHundredCallsAnswerAsAloneAndLeakNothing) {
  Installation setup;
  setup.UseMachine("[Server]\r\nResident=30000\r\n[Items]\r\n5=0x1234\r\n");
  const test::ProgramRun probe = test::RunCollectingOutput(
      "\"" + FromUnixPath(ACPI_PROBE_EXE) + "\" \"" + setup.Payload() + "setup.exe\" soak --threads 8 --repeat 500");
  ASSERT_TRUE(probe.started);
  EXPECT_EQ(probe.exitCode, 0u) << probe.output;
  auto facts = Facts(probe.output);
  EXPECT_EQ(facts["soak calls"], "4000 (8 threads x 500, 24 kinds of call)");
  EXPECT_EQ(facts["soak wrong"], "0") << facts["first wrong"];
  EXPECT_EQ(facts["fresh handle after"], facts["fresh handle before"]);
  // What a leak adds to: the heap blocks in use. (The committed private
  // bytes, printed too, grow in steps of megabytes until the heap settles,
  // at a point that differs from run to run.)
  const double early = std::stod(facts["heap bytes in use after 500 calls"]);
  const double late = std::stod(facts["heap bytes in use at the end"]);
  ASSERT_GT(early, 0.0) << probe.output;
  EXPECT_LE(late, early * 1.05) << probe.output;
  EXPECT_GE(late, early * 0.95) << probe.output;

  // And the answers it compared with are the right ones: a single call of
  // the soak's kinds, checked against the profile.
  const test::ProgramRun item = test::RunCollectingOutput("\"" + FromUnixPath(ACPI_PROBE_EXE) + "\" \"" +
                                                          setup.Payload() + "setup.exe\" get-item 5");
  EXPECT_EQ(Facts(item.output)["value"].rfind("0x00001234 ", 0), 0u) << item.output;
}

TEST(ExportsSoak, CountsAreReadAsEveryOtherValueOfTheProbe) {
  // Decimal with leading zeros is decimal, 0x is hex, and a count that is
  // not a number in its range, or an option of a single call, ends the
  // probe with its usage error before any call. Without a server every
  // export answers 0 at once, alone as under load: the counts show without
  // thousands of activations.
  Installation setup;
  setup.UseNoServer();
  const struct {
    const char* options;
    DWORD exitCode;
    const char* calls;  // the "soak calls" line; null when refused
  } cases[] = {
      {"--threads 1 --repeat 010", 0, "10 (1 threads x 10, 24 kinds of call)"},
      {"--repeat 0x3 --threads 01", 0, "3 (1 threads x 3, 24 kinds of call)"},
      {"--repeat 5x", 2, nullptr},
      {"--repeat -1", 2, nullptr},
      {"--repeat 0", 2, nullptr},
      {"--threads 65", 2, nullptr},
      {"--threads 1 --repeat", 2, nullptr},
      {"--threads 1 --length 4", 2, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    const test::ProgramRun probe = test::RunCollectingOutput("\"" + FromUnixPath(ACPI_PROBE_EXE) + "\" \"" +
                                                             setup.Payload() + "setup.exe\" soak " + c.options);
    ASSERT_TRUE(probe.started);
    EXPECT_EQ(probe.exitCode, c.exitCode) << probe.output;
    auto facts = Facts(probe.output);
    if (c.calls != nullptr) {
      EXPECT_EQ(facts["soak calls"], c.calls) << probe.output;
      EXPECT_EQ(facts["soak wrong"], "0") << facts["first wrong"];
    } else {
      EXPECT_EQ(facts.count("soak calls"), 0u) << probe.output;
      EXPECT_NE(probe.output.find("usage: acpi-probe"), std::string::npos) << probe.output;
    }
  }
}

}  // namespace
}  // namespace e2e
