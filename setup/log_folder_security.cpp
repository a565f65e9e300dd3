#include "setup/log_folder_security.h"

#include <sddl.h>

namespace {

// P: protected, no inherited entries. OICI: inherited by files and folders.
// FA is FILE_ALL_ACCESS; 0x1200a9 is FILE_GENERIC_READ | FILE_GENERIC_EXECUTE.
constexpr char kDescriptor[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

}  // namespace

LogFolderSecurity::LogFolderSecurity() {
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(kDescriptor, SDDL_REVISION_1, &descriptor_,
                                                              nullptr)) {
    descriptor_ = nullptr;
    return;
  }
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = descriptor_;
  attributes_.bInheritHandle = FALSE;
}

LogFolderSecurity::~LogFolderSecurity() {
  if (descriptor_) ::LocalFree(descriptor_);
}
