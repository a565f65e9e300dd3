#pragma once

#include <cstdint>
#include <vector>

// The feature word of a machine without a profile: one that has the
// fan-control feature (bits 8 to 15 at 3).
constexpr std::uint32_t kDefaultFeatureWord = 0x00000302;

// The "MBIF" signature that opens every reply this server builds.
constexpr std::uint8_t kMbifSignature[4] = {'M', 'B', 'I', 'F'};

// The machine-information reply of a fan-control machine: the signature,
// a record count of 3, then three records (id, length 4, value, 4 bytes of
// rest) whose values are 1, 2 and the feature word; 44 bytes, little-endian.
std::vector<std::uint8_t> BuildMbifReply(std::uint32_t featureWord);
