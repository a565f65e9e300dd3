// The nine exports as other programs meet them: acpi-probe loads the
// exports host (linked exactly as setup.exe) into its own process and calls
// them; a registered copy of acpi-sim answers as the ACPI server and keeps
// a journal of what reached it.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "acpi_test_programs.h"
#include "support/text.h"

namespace {

using acpi_test::ProbeRun;
using acpi_test::RegisteredSim;
using acpi_test::RunProbe;

// "a0 a1 ... " : count bytes counting up from first.
std::string Ramp(int first, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    if (i != 0) text += ' ';
    text += test::HexByte(static_cast<unsigned>(first + i) & 0xffu);
  }
  return text;
}

std::string Join(const std::string& a, const std::string& b) { return a.empty() ? b : b.empty() ? a : a + " " + b; }

// -- Without a registered server --------------------------------------------

class ExportsWithoutServerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(acpi_test::ServerProgIdRegistered()) << "a server is still registered"; }
};

TEST_F(ExportsWithoutServerTest, EveryExportAnswersZeroAndLeavesCallerMemoryAlone) {
  const std::string request = "55 66 77 88";
  const struct {
    const char* arguments;
    bool output;
    bool buffer;
  } cases[] = {
      {"init", false, false},
      {"get-item 5", true, false},
      {"get-item-ex 5 9", true, false},
      {"set-item 1 2 3", false, false},
      {"get-item-buffer 1 2 55 66 77 88", false, true},
      {"set-item-buffer 1 2 55 66 77 88", false, true},
      {"mbif 55 66 77 88", false, true},
      {"ggrp 3 55 66 77 88", false, true},
      {"call-method 0x12345678 55 66 77 88", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const ProbeRun run = RunProbe(c.arguments);
    EXPECT_EQ(run.exitCode, 1u) << run.output;
    EXPECT_EQ(run["answer"], "0");
    if (c.output) {
      EXPECT_EQ(run["value"], "0xcccccccc (was 0xcccccccc)");
    }
    if (c.buffer) {
      EXPECT_EQ(run["length"], "4 (sent 4)");
      EXPECT_EQ(run["buffer"], request) << "AcpiGGrp must not have set its first byte either";
      EXPECT_EQ(run["guard"], "intact (16 bytes)");
    }
  }
}

TEST_F(ExportsWithoutServerTest, FirstCallRelocatesAndBindsTheLoadedImage) {
  // Both executables are linked for the same base, so the exports host is
  // moved when the probe loads it, and Wine leaves it unrelocated and
  // unbound: the export's first call must do both before anything else.
  const ProbeRun run = RunProbe("get-item 1");
  EXPECT_EQ(run.exitCode, 1u) << run.output;
  // The name of this build's export table: stdcall-decorated on 32-bit.
#if defined(_WIN64)
  EXPECT_EQ(run["export"], "AcpiGetItem (ordinal 3)");
#else
  EXPECT_EQ(run["export"], "_AcpiGetItem@8 (ordinal 3)");
#endif

  unsigned relocations = 0, applied = 0, imports = 0, bound = 0;
  ASSERT_EQ(std::sscanf(run["image before"].c_str(), "relocations %u of %u applied, imports %u of %u bound", &applied,
                        &relocations, &bound, &imports),
            4)
      << run.output;
  EXPECT_EQ(applied, 0u);
  EXPECT_EQ(bound, 0u);
  EXPECT_GT(relocations, 0u);
  EXPECT_GT(imports, 0u);
  EXPECT_EQ(run["image after"], "relocations " + std::to_string(relocations) + " of " + std::to_string(relocations) +
                                    " applied, imports " + std::to_string(imports) + " of " + std::to_string(imports) +
                                    " bound");
}

// -- Through the simulated server ------------------------------------------------

class ExportsThroughSimTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sim_.Registered()); }

  RegisteredSim sim_{"[Items]\r\n5=7\r\n"};
};

TEST_F(ExportsThroughSimTest, ValueExportsPassTheirArgumentsAndReturnTheStoredValue) {
  const struct {
    const char* arguments;
    const char* journal;
    const char* value;  // null: no output variable
  } cases[] = {
      {"init", "iAcpiInit", nullptr},
      {"get-item 5", "iAcpiGetItem 0x00000005 &0xcccccccc", "0x00000007 (was 0xcccccccc)"},
      {"get-item-ex 5 9", "iAcpiGetItemEx 0x00000005 0x00000009 &0xcccccccc", "0x00000007 (was 0xcccccccc)"},
      {"get-item 6 --value 0x11", "iAcpiGetItem 0x00000006 &0x00000011", "0x00000000 (was 0x00000011)"},
      {"set-item 1 2 0xfffffffe", "iAcpiSetItem 0x00000001 0x00000002 0xfffffffe", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    sim_.ClearJournal();
    const ProbeRun run = RunProbe(c.arguments);
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(run["answer"], "1");
    if (c.value != nullptr) {
      EXPECT_EQ(run["value"], c.value);
    }
    EXPECT_EQ(sim_.Journal(), std::vector<std::string>{c.journal});
  }
}

TEST_F(ExportsThroughSimTest, ShortenedReplyRewritesOnlyItsBytes) {
  // Each buffer export sends 16 bytes; the server answers with 4.
  const std::string request = Ramp(0xa0, 16);
  const struct {
    const char* call;
    const char* section;
    const char* journal;  // the request as the server saw it
  } cases[] = {
      {"get-item-buffer 1 2", "iAcpiGetItemBuffer",
       "iAcpiGetItemBuffer 0x00000001 0x00000002 [a0 a1 a2 a3 a4 a5 a6 a7 a8 a9 aa ab ac ad ae af] &0x00000010"},
      {"set-item-buffer 3 4", "iAcpiSetItemBuffer",
       "iAcpiSetItemBuffer 0x00000003 0x00000004 [a0 a1 a2 a3 a4 a5 a6 a7 a8 a9 aa ab ac ad ae af] &0x00000010"},
      {"mbif", "Mbif", "iAcpiMbif [a0 a1 a2 a3 a4 a5 a6 a7 a8 a9 aa ab ac ad ae af] &0x00000010"},
      // The first byte goes out as 0xE1 whatever the caller put there.
      {"ggrp 7", "iAcpiGGrp", "iAcpiGGrp 0x00000007 [e1 a1 a2 a3 a4 a5 a6 a7 a8 a9 aa ab ac ad ae af] &0x00000010"},
      // The method's value travels, not the pointer to it.
      {"call-method 0x12345678", "iAcpiCallMethod",
       "iAcpiCallMethod 0x12345678 [a0 a1 a2 a3 a4 a5 a6 a7 a8 a9 aa ab ac ad ae af] &0x00000010"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    sim_.SetProfile(std::string("[") + c.section + "]\r\nReply=01 02 03 04\r\nLength=4\r\n");
    sim_.ClearJournal();
    const ProbeRun run = RunProbe(std::string(c.call) + " " + request);
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(run["answer"], "1");
    EXPECT_EQ(run["length"], "4 (sent 16)");
    EXPECT_EQ(run["buffer"], Join("01 02 03 04", Ramp(0xa4, 12)));
    EXPECT_EQ(run["guard"], "intact (16 bytes)");
    EXPECT_EQ(sim_.Journal(), std::vector<std::string>{c.journal});
  }
}

TEST_F(ExportsThroughSimTest, EchoedRequestComesBackWhole) {
  // Without a reply of its own the server echoes: AcpiSetItemBuffer and
  // AcpiGGrp hand the (0xE1-led) request back into the caller's buffer.
  const struct {
    const char* call;
    std::string buffer;
  } cases[] = {
      {"set-item-buffer 1 2", Ramp(0x10, 8)},
      {"ggrp 3", Join("e1", Ramp(0x11, 7))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    const ProbeRun run = RunProbe(std::string(c.call) + " " + Ramp(0x10, 8));
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(run["length"], "8 (sent 8)");
    EXPECT_EQ(run["buffer"], c.buffer);
  }
}

TEST_F(ExportsThroughSimTest, ZeroLengthSendsAnEmptyArrayAndCopiesNothing) {
  const struct {
    const char* call;
    const char* journal;
    const char* buffer;
  } cases[] = {
      {"get-item-buffer 1 2", "iAcpiGetItemBuffer 0x00000001 0x00000002 [] &0x00000000", "55 66 77 88"},
      // AcpiGGrp's first byte is 0xE1 before the call and stays so after an empty reply.
      {"ggrp 3", "iAcpiGGrp 0x00000003 [] &0x00000000", "e1 66 77 88"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    sim_.ClearJournal();
    const ProbeRun run = RunProbe(std::string(c.call) + " 55 66 77 88 --length 0");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(run["answer"], "1");
    EXPECT_EQ(run["length"], "0 (sent 0)");
    EXPECT_EQ(run["buffer"], c.buffer);
    EXPECT_EQ(sim_.Journal(), std::vector<std::string>{c.journal});
  }
}

TEST_F(ExportsThroughSimTest, FailingMethodAnswersZeroAfterTheCopyBack) {
  sim_.SetProfile(
      "[iAcpiGetItemBuffer]\r\nReply=aa bb\r\nFail=0x80004005\r\n"
      "[iAcpiSetItem]\r\nFail=0x80020009\r\n");
  const ProbeRun buffer = RunProbe("get-item-buffer 1 2 " + Ramp(0x30, 8));
  EXPECT_EQ(buffer.exitCode, 1u) << buffer.output;
  EXPECT_EQ(buffer["answer"], "0");
  EXPECT_EQ(buffer["length"], "2 (sent 8)");
  EXPECT_EQ(buffer["buffer"], Join("aa bb", Ramp(0x32, 6)));

  const ProbeRun value = RunProbe("set-item 1 2 3");
  EXPECT_EQ(value.exitCode, 1u) << value.output;
  EXPECT_EQ(value["answer"], "0");
}

TEST_F(ExportsThroughSimTest, RepliesThatDoNotFitAreCutAndReportedAsFailure) {
  // The caller's buffer holds 16 bytes, followed by guard bytes.
  const struct {
    const char* what;
    std::string profile;
    const char* length;
    std::string buffer;
  } cases[] = {
      {"length above the request", "Reply=" + Ramp(0x40, 20) + "\r\nArray=replace\r\n", "16 (sent 16)", Ramp(0x40, 16)},
      {"length above the request, reply in place", "Reply=" + Ramp(0x40, 16) + "\r\nLength=20\r\n", "16 (sent 16)",
       Ramp(0x40, 16)},
      {"array replaced by a shorter one", "Reply=01 02 03 04\r\nLength=16\r\nArray=replace\r\n", "4 (sent 16)",
       Join("01 02 03 04", Ramp(0xa4, 12))},
      {"no array left in the holder", "Array=none\r\n", "0 (sent 16)", Ramp(0xa0, 16)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sim_.SetProfile("[iAcpiGetItemBuffer]\r\n" + c.profile);
    const ProbeRun run = RunProbe("get-item-buffer 1 2 " + Ramp(0xa0, 16));
    EXPECT_EQ(run.exitCode, 1u) << run.output;
    EXPECT_EQ(run["answer"], "0");
    EXPECT_EQ(run["length"], c.length);
    EXPECT_EQ(run["buffer"], c.buffer);
    EXPECT_EQ(run["guard"], "intact (16 bytes)");
  }
}

TEST_F(ExportsThroughSimTest, MbifReportsTheMachinesRecords) {
  sim_.SetProfile("");
  const ProbeRun run = RunProbe("mbif");
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  EXPECT_EQ(run["length"], "44 (sent 4096)");
  EXPECT_EQ(run["records"], "3");
  EXPECT_EQ(run["record 2"].rfind("offset 20, length 4, value ", 0), 0u) << run["record 2"];
  EXPECT_EQ(run["record 3"], "offset 32, length 4, value 0x00000302");
  EXPECT_EQ(run["feature word"], "0x00000302");
}

TEST_F(ExportsThroughSimTest, ConcurrentFirstCallsAllGetTheirAnswers) {
  // The threads are released together onto a freshly loaded image, so the
  // first calls also race to make it ready. The server stays resident:
  // Wine hands one single-use server to several simultaneous activations,
  // and all but one of those fail in CoCreateInstance with E_NOINTERFACE.
  sim_.SetProfile("[Server]\r\nResident=2000\r\n[Items]\r\n5=7\r\n");
  const struct {
    const char* arguments;
    const char* fact;
    std::string expected;
  } cases[] = {
      {"get-item 5 --threads 8 --repeat 2", "value", "0x00000007 (was 0xcccccccc)"},
      {"get-item-buffer 1 2 01 02 03 04 05 06 --threads 6 --repeat 2", "buffer", "01 02 03 04 05 06"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    sim_.ClearJournal();
    const ProbeRun run = RunProbe(c.arguments);
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(run["outcomes"], "all equal");
    EXPECT_EQ(run["answer"], "1");
    EXPECT_EQ(run[c.fact], c.expected);
  }
  EXPECT_EQ(RunProbe("get-item 5 --threads 8 --repeat 2")["answered 1"], "16 of 16");
}

}  // namespace
