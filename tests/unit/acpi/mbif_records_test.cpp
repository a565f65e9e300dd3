#include "acpi/mbif_records.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct Record {
  std::uint16_t length;
  std::uint32_t value;
};

void Put16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t v) {
  bytes[at] = static_cast<std::uint8_t>(v);
  bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A reply laid out as the server sends it; the unread fields hold 0xAA so
// that reading one of them by mistake shows.
std::vector<std::uint8_t> Reply(std::uint32_t count, const std::vector<Record>& records) {
  std::vector<std::uint8_t> bytes(8, 0xAA);
  Put32(bytes, 4, count);
  for (const Record& r : records) {
    const std::size_t at = bytes.size();
    bytes.resize(at + 8 + (r.length > 4 ? r.length : 4), 0xAA);
    Put16(bytes, at + 2, r.length);
    Put32(bytes, at + 4, r.value);
  }
  return bytes;
}

// Every call reads from a heap copy of exactly `size` bytes, so that the
// sanitizer reports any read past the reply.
std::optional<std::uint32_t> FeatureOf(const std::vector<std::uint8_t>& reply, std::size_t size) {
  std::vector<std::uint8_t> exact(reply.begin(), reply.begin() + size);
  return MbifFeatureValue(exact.data(), exact.size());
}

std::uint32_t ValueAt(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

struct LayoutCase {
  const char* what;
  std::uint32_t count;
  std::vector<Record> records;
  std::size_t valueOffset;  // 0: no value expected
};

// Names the case in test listings (and so in CTest's test names).
void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.what; }

class MbifLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(MbifLayoutTest, TakesTheThirdRecordsValue) {
  const LayoutCase& c = GetParam();
  const std::vector<std::uint8_t> reply = Reply(c.count, c.records);
  const std::optional<std::uint32_t> value = FeatureOf(reply, reply.size());
  if (c.valueOffset == 0) {
    EXPECT_FALSE(value.has_value()) << c.what;
    return;
  }
  ASSERT_TRUE(value.has_value()) << c.what;
  EXPECT_EQ(*value, 0x00000302u) << c.what;
  EXPECT_EQ(ValueAt(reply, c.valueOffset), 0x00000302u) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, MbifLayoutTest,
    ::testing::Values(
        LayoutCase{"three short records", 3, {{4, 1}, {4, 2}, {4, 0x302}}, 36},
        LayoutCase{"lengths below 4 still take 4", 3, {{0, 1}, {2, 2}, {3, 0x302}}, 36},
        LayoutCase{"L = 0 then L = 8", 3, {{0, 1}, {8, 2}, {4, 0x302}}, 40},
        LayoutCase{"L = 6 puts the second record at 22", 3, {{6, 1}, {4, 2}, {4, 0x302}}, 38},
        LayoutCase{"count 5: fourth and fifth ignored", 5, {{4, 1}, {4, 2}, {4, 0x302}, {0xffff, 4}, {4, 5}}, 36},
        LayoutCase{"count above the records present", 9, {{4, 1}, {4, 2}, {4, 0x302}}, 36},
        LayoutCase{"count 2", 2, {{4, 1}, {4, 2}, {4, 0x302}}, 0},
        LayoutCase{"count 1", 1, {{4, 0x302}, {4, 0x302}, {4, 0x302}}, 0},
        LayoutCase{"count 0", 0, {{4, 0x302}, {4, 0x302}, {4, 0x302}}, 0}));

TEST(MbifFeatureValueTest, SecondRecordPlacedAfterALongFirst) {
  const std::vector<std::uint8_t> reply = Reply(3, {{6, 1}, {4, 2}, {4, 3}});
  const MbifReply parsed = ReadMbifReply(reply.data(), reply.size(), 3);
  ASSERT_EQ(parsed.records.size(), 3u);
  EXPECT_EQ(parsed.records[0].offset, 8u);
  EXPECT_EQ(parsed.records[1].offset, 22u);
  EXPECT_EQ(parsed.records[2].offset, 34u);
  EXPECT_EQ(parsed.records[1].value, 2u);
}

TEST(MbifFeatureValueTest, TruncatedRepliesYieldNothingAndReadNothingBeyond) {
  const std::vector<std::uint8_t> reply = Reply(3, {{4, 1}, {8, 2}, {4, 0x302}});
  // The value lies at 40..43: every shorter reply must come back empty,
  // whichever field the cut falls into.
  for (std::size_t size = 0; size < 44; ++size) {
    EXPECT_FALSE(FeatureOf(reply, size).has_value()) << "size " << size;
  }
  EXPECT_EQ(FeatureOf(reply, 44), 0x302u);
}

TEST(MbifFeatureValueTest, HugeLengthsDoNotCarryTheWalkOutside) {
  // A first record claiming 65535 bytes sends the second far past a 4096-byte reply.
  std::vector<std::uint8_t> reply = Reply(3, {{4, 1}, {4, 2}, {4, 3}});
  reply.resize(4096, 0);
  Put16(reply, 10, 0xffff);
  EXPECT_FALSE(FeatureOf(reply, reply.size()).has_value());
  // The walk stops at the missing record instead of inventing it.
  EXPECT_EQ(ReadMbifReply(reply.data(), reply.size(), 3).records.size(), 1u);
}

TEST(MbifFeatureValueTest, ListsRecordsUpToTheAskedNumber) {
  const std::vector<std::uint8_t> reply = Reply(5, {{4, 1}, {4, 2}, {4, 3}, {4, 4}, {4, 5}});
  const MbifReply all = ReadMbifReply(reply.data(), reply.size(), 100);
  ASSERT_EQ(all.count, 5u);
  ASSERT_EQ(all.records.size(), 5u);
  EXPECT_EQ(all.records[4].offset, 56u);
  EXPECT_EQ(all.records[4].value, 5u);
  EXPECT_EQ(ReadMbifReply(reply.data(), reply.size(), 2).records.size(), 2u);
  // A record whose length field is inside but whose value is cut off is listed without value.
  const MbifReply cut = ReadMbifReply(reply.data(), 62, 100);
  ASSERT_EQ(cut.records.size(), 5u);
  EXPECT_FALSE(cut.records[4].value.has_value());
}

}  // namespace
