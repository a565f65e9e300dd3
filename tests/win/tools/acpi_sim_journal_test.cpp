// The journal: one line per call, with the arguments as they arrived.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "acpi_sim_fixture.h"
#include "sim_dispatch.h"
#include "support/text.h"

namespace test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using AcpiSimJournal = AcpiSimTest;

TEST_F(AcpiSimJournal, RecordsEveryCallAsItArrived) {
  server_.WriteProfile(kResidentProfile);
  ULONG item = 0x11;
  ULONG itemEx = 0xFFFFFFFF;
  ULONG zero = 0;
  ULONG four = 4;
  ULONG two = 2;
  ByteHolder group({0xE1, 0x00, 0x00, 0x00});
  ByteHolder nothing(Bytes{});
  ByteHolder pair({0xFF, 0x7F});
  VARIANT signedItem;
  ::VariantInit(&signedItem);
  signedItem.vt = VT_I4;
  VARIANT number;
  ::VariantInit(&number);
  number.vt = VT_I4;

  EXPECT_EQ(CallSim(L"iAcpiInit", {}), S_OK);
  EXPECT_EQ(CallSim(L"iAcpiGetItem", {Ui4(5), Ui4Ref(&item)}), S_OK);
  EXPECT_EQ(CallSim(L"iAcpiGetItemEx", {Ui4(1), Ui4(2), Ui4Ref(&itemEx)}), S_OK);
  EXPECT_EQ(CallSim(L"iAcpiSetItem", {Ui4(1), Ui4(2), Ui4(0x80000000)}), S_OK);
  EXPECT_EQ(CallSim(L"iAcpiGGrp", {Ui4(5), VariantRef(group.Get()), Ui4Ref(&four)}), S_OK);
  EXPECT_EQ(CallSim(L"iAcpiMbif", {VariantRef(nothing.Get()), Ui4Ref(&zero)}), S_OK);
  EXPECT_EQ(CallSim(L"iAcpiGetItemBuffer", {Ui4(1), Ui4(2), VariantRef(pair.Get()), Ui4Ref(&two)}), S_OK);
  zero = 0;
  EXPECT_EQ(CallSim(L"iAcpiGetItem", {signedItem, Ui4Ref(&zero)}), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(CallSim(L"iAcpiGGrp", {Ui4(1), VariantRef(&number), Ui4Ref(&zero)}), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(CallSim(L"iAcpiUnknown", {}), DISP_E_UNKNOWNNAME);

  EXPECT_EQ(server_.Journal(),
            "iAcpiInit\r\n"
            "iAcpiGetItem 0x00000005 &0x00000011\r\n"
            "iAcpiGetItemEx 0x00000001 0x00000002 &0xffffffff\r\n"
            "iAcpiSetItem 0x00000001 0x00000002 0x80000000\r\n"
            "iAcpiGGrp 0x00000005 [e1 00 00 00] &0x00000004\r\n"
            "iAcpiMbif [] &0x00000000\r\n"
            "iAcpiGetItemBuffer 0x00000001 0x00000002 [ff 7f] &0x00000002\r\n"
            "iAcpiGetItem <vt 0x0003> &0x00000000\r\n"
            "iAcpiGGrp 0x00000001 <vt 0x0003> &0x00000000\r\n");
}

TEST_F(AcpiSimJournal, ServersAnsweringAtOnceWriteWholeLines) {
  // No profile: each thread's object has a server process of its own, and
  // the threads' calls overlap. The objects are created one at a time:
  // Wine's activation of single-use servers races when clients start them
  // at once (a client may take the server another started), which is no
  // concern of the journal.
  constexpr int kThreads = 4;
  constexpr int kCalls = 3;
  constexpr std::size_t kSize = 700;
  std::mutex activation;
  std::mutex gate;
  std::condition_variable allCreated;
  int created = 0;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const bool initialized = SUCCEEDED(::CoInitialize(nullptr));
      if (!initialized) ++failures;
      {
        Microsoft::WRL::ComPtr<IDispatch> object;
        {
          std::lock_guard<std::mutex> one(activation);
          if (CreateSimObject(&object) != S_OK) ++failures;
        }
        {
          std::unique_lock<std::mutex> lock(gate);
          ++created;
          allCreated.notify_all();
          allCreated.wait(lock, [&] { return created == kThreads; });
        }
        for (int i = 0; object && i < kCalls; ++i) {
          ByteHolder holder(Bytes(kSize, static_cast<std::uint8_t>(t * 16 + i)));
          ULONG length = kSize;
          HRESULT hr = CallOn(object.Get(), L"iAcpiCallMethod", {Ui4(0x33), VariantRef(holder.Get()), Ui4Ref(&length)});
          if (hr != S_OK) ++failures;
        }
      }
      if (initialized) ::CoUninitialize();
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, 0);

  std::vector<std::string> expected;
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kCalls; ++i) {
      const std::string byte = HexByte(static_cast<unsigned>(t * 16 + i));
      std::string line = "iAcpiCallMethod 0x00000033 [";
      for (std::size_t k = 0; k < kSize; ++k) line += (k > 0 ? " " : "") + byte;
      expected.push_back(line + "] &0x000002bc");
    }
  }
  std::vector<std::string> lines;
  const std::string journal = server_.Journal();
  for (std::size_t begin = 0; begin < journal.size();) {
    std::size_t end = journal.find("\r\n", begin);
    if (end == std::string::npos) end = journal.size();
    lines.push_back(journal.substr(begin, end - begin));
    begin = end + 2;
  }
  std::sort(expected.begin(), expected.end());
  std::sort(lines.begin(), lines.end());
  EXPECT_TRUE(lines == expected) << "the journal holds " << lines.size() << " lines, not the " << expected.size()
                                 << " whole ones expected:\n"
                                 << journal;
}

}  // namespace
}  // namespace test
