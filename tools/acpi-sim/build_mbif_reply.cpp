#include "tools/acpi-sim/build_mbif_reply.h"

namespace {

void PutU16(std::vector<std::uint8_t>* out, std::uint16_t value) {
  out->push_back(static_cast<std::uint8_t>(value));
  out->push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutU32(std::vector<std::uint8_t>* out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<std::uint8_t>(value >> shift));
}

}  // namespace

std::vector<std::uint8_t> BuildMbifReply(std::uint32_t featureWord) {
  const std::uint32_t values[3] = {1, 2, featureWord};
  std::vector<std::uint8_t> reply(kMbifSignature, kMbifSignature + 4);
  PutU32(&reply, 3);
  for (std::uint16_t id = 1; id <= 3; ++id) {
    PutU16(&reply, id);
    PutU16(&reply, 4);
    PutU32(&reply, values[id - 1]);
    PutU32(&reply, 0);  // the record's rest: max(L, 4) bytes
  }
  return reply;
}
