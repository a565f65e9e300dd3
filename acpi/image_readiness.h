#pragma once

// Makes the image that holds the ACPI exports ready to run them. When another
// program has loaded this executable as a library, the platform leaves its
// imports unresolved (and Wine its base relocations undone): the first export
// call then applies the relocations and binds the imports, once per process,
// while concurrent callers wait. In the executable's own process it does
// nothing. False when the image could not be made ready; the export then
// answers 0.
bool MakeImageReady();

// The points at which a test build of the step (compiled with
// ACPI_IMAGE_READINESS_SEAM) calls the loading program's export
// "void AcpiImageReadinessSeam(int stage)", so that a test can hold a thread
// there. The product has no such calls.
enum class ImageReadinessStage : int {
  kSawIdle = 1,     // found the image not yet being made ready, about to claim that work
  kClaimed = 2,     // claimed it, about to make the image ready
  kRelocating = 3,  // about to apply the relocations
  kWaiting = 4,     // another thread has the work: about to wait for it
};
