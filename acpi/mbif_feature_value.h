#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// The feature word that an "iAcpiMbif" reply carries: the value of its third
// record. Absent when the reply announces fewer than three records or ends
// before that value does.
std::optional<std::uint32_t> MbifFeatureValue(const std::uint8_t* reply, std::size_t size);
