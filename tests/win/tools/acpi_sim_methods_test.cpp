// What the simulator answers, with and without a profile.

#include <cstdint>
#include <string>
#include <vector>

#include "acpi_sim_fixture.h"
#include "sim_dispatch.h"

namespace test {
namespace {

using Bytes = std::vector<std::uint8_t>;

using AcpiSimMachine = AcpiSimTest;

TEST_F(AcpiSimMachine, WithoutAProfileItIsAFanControlMachine) {
  ByteHolder reply(Bytes(4096, 0));
  ULONG length = 4096;
  ASSERT_EQ(CallBufferMethod(L"iAcpiMbif", &reply, &length), S_OK);
  EXPECT_EQ(length, 44u);
  Bytes bytes = reply.Bytes();
  ASSERT_EQ(bytes.size(), 4096u) << "the reply is written into the request array";
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "MBIF");
  EXPECT_EQ(ReadU32(bytes, 4), 3u);
  for (std::size_t record : {8u, 20u, 32u}) EXPECT_EQ(ReadU16(bytes, record + 2), 4u) << "record at " << record;
  EXPECT_EQ(ReadU32(bytes, 36), 0x302u);
  EXPECT_EQ(Bytes(bytes.begin() + 44, bytes.end()), Bytes(4096 - 44, 0));

  ULONG value = 0xDEADBEEF;
  EXPECT_EQ(CallSim(L"iAcpiGetItem", {Ui4(7), Ui4Ref(&value)}), S_OK);
  EXPECT_EQ(value, 0u);
  value = 0xDEADBEEF;
  EXPECT_EQ(CallSim(L"iAcpiGetItemEx", {Ui4(7), Ui4(1), Ui4Ref(&value)}), S_OK);
  EXPECT_EQ(value, 0u);
  EXPECT_EQ(CallSim(L"iAcpiInit", {}), S_OK);
  EXPECT_EQ(CallSim(L"iAcpiSetItem", {Ui4(1), Ui4(2), Ui4(3)}), S_OK);

  for (const wchar_t* method : {L"iAcpiGetItemBuffer", L"iAcpiSetItemBuffer", L"iAcpiGGrp", L"iAcpiCallMethod"}) {
    SCOPED_TRACE(testing::Message() << "echo of " << std::wstring(method).c_str());
    const Bytes request = {0xE1, 0x01, 0x80, 0xFF};
    ByteHolder holder(request);
    ULONG echoed = 4;
    EXPECT_EQ(CallBufferMethod(method, &holder, &echoed), S_OK);
    EXPECT_EQ(holder.Bytes(), request);
    EXPECT_EQ(echoed, 4u);
  }
}

TEST_F(AcpiSimMachine, FeatureWordAndItemsComeFromTheProfile) {
  server_.WriteProfile(std::string(kResidentProfile) +
                       "[Mbif]\r\nFeatureWord=0x1ff\r\n"
                       "[Items]\r\n7=0x1234\r\n0x10=99\r\n");
  ByteHolder reply(Bytes(64, 0));
  ULONG length = 64;
  ASSERT_EQ(CallBufferMethod(L"iAcpiMbif", &reply, &length), S_OK);
  EXPECT_EQ(length, 44u);
  EXPECT_EQ(ReadU32(reply.Bytes(), 4), 3u);
  EXPECT_EQ(ReadU32(reply.Bytes(), 36), 0x1FFu);

  struct Case {
    const wchar_t* method;
    ULONG item;
    ULONG expected;
  };
  for (const Case& c : {Case{L"iAcpiGetItem", 7, 0x1234}, Case{L"iAcpiGetItem", 16, 99},
                        Case{L"iAcpiGetItemEx", 16, 99}, Case{L"iAcpiGetItem", 8, 0}}) {
    SCOPED_TRACE(testing::Message() << std::wstring(c.method).c_str() << " of item " << c.item);
    ULONG value = 0xDEADBEEF;
    std::vector<VARIANT> args = {Ui4(c.item)};
    if (std::wstring(c.method) == L"iAcpiGetItemEx") args.push_back(Ui4(5));
    args.push_back(Ui4Ref(&value));
    EXPECT_EQ(CallSim(c.method, args), S_OK);
    EXPECT_EQ(value, c.expected);
  }
}

using AcpiSimBuffer = AcpiSimTest;

TEST_F(AcpiSimBuffer, ProfileShapesReplyArrayAndLength) {
  const Bytes request = {0x01, 0x02, 0x03, 0x04};
  struct Case {
    const char* what;
    const wchar_t* method;
    const char* profile;
    HRESULT result;
    VARTYPE holderType;
    Bytes array;
    ULONG length;
  };
  const VARTYPE kI1Array = VT_ARRAY | VT_I1;
  const Case cases[] = {
      {"in place, shorter reply",
       L"iAcpiGetItemBuffer",
       "[iAcpiGetItemBuffer]\r\nReply=aa bb\r\n",
       S_OK,
       kI1Array,
       {0xAA, 0xBB, 0x03, 0x04},
       2},
      {"in place, longer reply: what fits",
       L"iAcpiSetItemBuffer",
       "[iAcpiSetItemBuffer]\r\nReply=AABBCCDDeeff\r\n",
       S_OK,
       kI1Array,
       {0xAA, 0xBB, 0xCC, 0xDD},
       6},
      {"length given",
       L"iAcpiGGrp",
       "[iAcpiGGrp]\r\nReply=aa bb\r\nLength=3\r\nArray=inplace\r\n",
       S_OK,
       kI1Array,
       {0xAA, 0xBB, 0x03, 0x04},
       3},
      {"echo with length 0", L"iAcpiGGrp", "[iAcpiGGrp]\r\nLength=0\r\n", S_OK, kI1Array, request, 0},
      {"replace",
       L"iAcpiCallMethod",
       "[iAcpiCallMethod]\r\nReply=aa bb cc dd ee ff\r\nArray=replace\r\n",
       S_OK,
       kI1Array,
       {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF},
       6},
      {"replace, empty reply", L"iAcpiGGrp", "[iAcpiGGrp]\r\nReply=\r\nArray=Replace\r\n", S_OK, kI1Array, {}, 0},
      {"no array", L"iAcpiSetItemBuffer", "[iAcpiSetItemBuffer]\r\nReply=aa bb\r\nArray=none\r\n", S_OK, VT_I4, {}, 2},
      {"no array, echo keeps the length",
       L"iAcpiCallMethod",
       "[iAcpiCallMethod]\r\nArray=none\r\n",
       S_OK,
       VT_I4,
       {},
       4},
      {"machine reply replaced",
       L"iAcpiMbif",
       "[Mbif]\r\nReply=01 02 03\r\nLength=2\r\n[iAcpiMbif]\r\nArray=replace\r\n",
       S_OK,
       kI1Array,
       {0x01, 0x02, 0x03},
       2},
      {"failure after the work",
       L"iAcpiGGrp",
       "[iAcpiGGrp]\r\nReply=aa\r\nFail=0x8000FFFF\r\n",
       E_UNEXPECTED,
       kI1Array,
       {0xAA, 0x02, 0x03, 0x04},
       1},
      {"a success code passes",
       L"iAcpiMbif",
       "[Mbif]\r\nReply=5a\r\n[iAcpiMbif]\r\nFail=1\r\n",
       S_FALSE,
       kI1Array,
       {0x5A, 0x02, 0x03, 0x04},
       1},
      {"malformed reply", L"iAcpiGetItemBuffer", "[iAcpiGetItemBuffer]\r\nReply=a bb\r\n",
       HRESULT_FROM_WIN32(ERROR_INVALID_DATA), kI1Array, request, 4},
      {"unknown array mode", L"iAcpiCallMethod", "[iAcpiCallMethod]\r\nArray=twice\r\n",
       HRESULT_FROM_WIN32(ERROR_INVALID_DATA), kI1Array, request, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server_.WriteProfile(std::string(kResidentProfile) + c.profile);
    ByteHolder holder(request);
    ULONG length = 4;
    EXPECT_EQ(CallBufferMethod(c.method, &holder, &length), c.result);
    EXPECT_EQ(holder.Type(), c.holderType);
    EXPECT_EQ(holder.Bytes(), c.array);
    EXPECT_EQ(length, c.length);
  }
}

using AcpiSimFail = AcpiSimTest;

TEST_F(AcpiSimFail, ValueMethodsDoTheirWorkThenFail) {
  struct Case {
    const wchar_t* method;
    const char* profile;
    HRESULT result;
  };
  const Case cases[] = {
      {L"iAcpiInit", "[iAcpiInit]\r\nFail=0x80004005\r\n", E_FAIL},
      {L"iAcpiSetItem", "[iAcpiSetItem]\r\nFail=-2147024891\r\n", E_ACCESSDENIED},
      {L"iAcpiGetItem", "[Items]\r\n5=0x77\r\n[iAcpiGetItem]\r\nFail=0x80070005\r\n", E_ACCESSDENIED},
      {L"iAcpiGetItemEx", "[Items]\r\n5=0x77\r\n[iAcpiGetItemEx]\r\nFail=0x80004005\r\n", E_FAIL},
      {L"iAcpiGetItem", "[iAcpiGetItem]\r\nFail=later\r\n", HRESULT_FROM_WIN32(ERROR_INVALID_DATA)},
      {L"iAcpiGetItem", "[Items]\r\n5=0x12x\r\n", HRESULT_FROM_WIN32(ERROR_INVALID_DATA)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.profile);
    server_.WriteProfile(std::string(kResidentProfile) + c.profile);
    const std::wstring method = c.method;
    ULONG value = 0xDEADBEEF;
    std::vector<VARIANT> args;
    if (method == L"iAcpiGetItem") args = {Ui4(5), Ui4Ref(&value)};
    if (method == L"iAcpiGetItemEx") args = {Ui4(5), Ui4(0), Ui4Ref(&value)};
    if (method == L"iAcpiSetItem") args = {Ui4(5), Ui4(0), Ui4(0)};
    EXPECT_EQ(CallSim(c.method, args), c.result);
    // The stored value travels back with the failure, as the callers expect.
    if (method.rfind(L"iAcpiGetItem", 0) == 0 && c.result != HRESULT_FROM_WIN32(ERROR_INVALID_DATA)) {
      EXPECT_EQ(value, 0x77u);
    }
  }
}

}  // namespace
}  // namespace test
