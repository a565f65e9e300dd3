#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// One record of the "iAcpiMbif" reply: 2 unused bytes, the 16-bit length L,
// the 32-bit value, then max(L, 4) more bytes; 8 + max(L, 4) in all.
struct MbifRecord {
  std::size_t offset = 0;
  std::uint16_t length = 0;
  // Absent when the reply ends before the value does.
  std::optional<std::uint32_t> value;
};

struct MbifReply {
  // The record count at offset 4; absent when the reply is too short for it.
  std::optional<std::uint32_t> count;
  // The announced records in order, at most the number asked for. The list
  // ends early at the first record whose length field is not in the reply.
  std::vector<MbifRecord> records;
};

// Walks the reply's records, little-endian, reading nothing at or beyond
// `size` bytes: the reply's length decides what is trusted, not its count.
MbifReply ReadMbifReply(const std::uint8_t* reply, std::size_t size, std::size_t maxRecords);

// The feature word that an "iAcpiMbif" reply carries: the value of its third
// record. Absent when the reply announces fewer than three records or ends
// before that value does.
std::optional<std::uint32_t> MbifFeatureValue(const std::uint8_t* reply, std::size_t size);
