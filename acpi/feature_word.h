#pragma once

#include <cstdint>

// The machine's feature word, read from the ACPI server's "iAcpiMbif" reply.
class FeatureWord {
 public:
  explicit FeatureWord(std::uint32_t word = 0) : word_(word) {}

  // Asks for the reply through AcpiMbif and takes the third record's value.
  // False when AcpiMbif fails; true when a reply came, whether or not it
  // carried a value. The word changes only when one was found. Needs COM
  // initialised on the calling thread.
  bool Query();

  std::uint32_t Value() const { return word_; }

 private:
  std::uint32_t word_;
};
