// Server processes: one per object when single-use, one for all when
// resident, and none left once the objects are released.

#include <vector>

#include "acpi_sim_fixture.h"
#include "sim_dispatch.h"

namespace test {
namespace {

using AcpiSimLifetime = AcpiSimTest;

TEST_F(AcpiSimLifetime, EachObjectHasAProcessOfItsOwnThatEndsWithIt) {
  Microsoft::WRL::ComPtr<IDispatch> first;
  Microsoft::WRL::ComPtr<IDispatch> second;
  ASSERT_EQ(CreateSimObject(&first), S_OK);
  const std::vector<DWORD> one = server_.Processes();
  ASSERT_EQ(one.size(), 1u);
  ASSERT_EQ(CreateSimObject(&second), S_OK);
  const std::vector<DWORD> both = server_.Processes();
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(CallOn(first.Get(), L"iAcpiInit", {}), S_OK);
  EXPECT_EQ(CallOn(second.Get(), L"iAcpiInit", {}), S_OK);

  first.Reset();
  EXPECT_TRUE(WaitForProcessEnd(one[0]));
  EXPECT_EQ(CallOn(second.Get(), L"iAcpiInit", {}), S_OK);
  second.Reset();
  for (DWORD id : both) EXPECT_TRUE(WaitForProcessEnd(id));
  EXPECT_TRUE(server_.Processes().empty());
}

TEST_F(AcpiSimLifetime, AResidentServerServesEveryObjectAndEndsAfterItsTime) {
  // Long enough that the third object surely comes before it ends.
  server_.WriteProfile("[Server]\r\nResident=10000\r\n");
  Microsoft::WRL::ComPtr<IDispatch> first;
  Microsoft::WRL::ComPtr<IDispatch> second;
  ASSERT_EQ(CreateSimObject(&first), S_OK);
  ASSERT_EQ(CreateSimObject(&second), S_OK);
  const std::vector<DWORD> one = server_.Processes();
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(CallOn(first.Get(), L"iAcpiInit", {}), S_OK);
  EXPECT_EQ(CallOn(second.Get(), L"iAcpiInit", {}), S_OK);
  first.Reset();
  second.Reset();

  Microsoft::WRL::ComPtr<IDispatch> third;
  ASSERT_EQ(CreateSimObject(&third), S_OK);
  EXPECT_EQ(server_.Processes(), one) << "the server stays for its resident time";
  EXPECT_EQ(CallOn(third.Get(), L"iAcpiInit", {}), S_OK);
  third.Reset();
  EXPECT_TRUE(WaitForProcessEnd(one[0]));
}

TEST_F(AcpiSimLifetime, RegisteringAnotherCopyEndsTheServersOfTheFormer) {
  // A resident server of this copy would otherwise answer the next
  // activation, with this copy's profile, long after another was registered.
  server_.WriteProfile("[Server]\r\nResident=30000\r\n[Items]\r\n7=1\r\n");
  ULONG value = 0;
  ASSERT_EQ(CallSim(L"iAcpiGetItem", {Ui4(7), Ui4Ref(&value)}), S_OK);
  ASSERT_EQ(value, 1u);
  const std::vector<DWORD> former = server_.Processes();
  ASSERT_EQ(former.size(), 1u);

  SimServer other;
  other.WriteProfile("[Items]\r\n7=2\r\n");
  ASSERT_EQ(other.Run("/RegServer"), 0);
  EXPECT_TRUE(WaitForProcessEnd(former[0]));
  EXPECT_EQ(CallSim(L"iAcpiGetItem", {Ui4(7), Ui4Ref(&value)}), S_OK);
  EXPECT_EQ(value, 2u);
}

}  // namespace
}  // namespace test
