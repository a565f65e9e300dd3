#include "setup/setup_run.h"

#include <spdlog/spdlog.h>

#include <cstdint>
#include <string>

#include "acpi/acpi_exports.h"
#include "acpi/feature_word.h"
#include "base/win.h"
#include "config/install_record.h"
#include "config/setup_settings.h"
#include "deploy/copy_data.h"
#include "deploy/make_target_folder.h"
#include "service/service_registration.h"
#include "setup/setup_log.h"
#include "setup/version_order.h"

#include <objbase.h>

namespace {

// Machines whose feature word carries less than 2 in bits 8 to 15 lack the
// fan control.
bool MachineHasFanControl(std::uint32_t feature) { return (feature & 0xFF00u) >= 0x0200u; }

}  // namespace

int SetupRun() {
  SetupLog::Open();
  ::CoInitialize(nullptr);
  AcpiInit();

  FeatureWord feature(0);
  feature.Query();
  spdlog::debug("main: feature = 0x{:08x}", feature.Value());
  if (!MachineHasFanControl(feature.Value())) return -1;

  const std::string targetVer = GetTargetVersion();
  const std::string currentVer = GetCurrentVersion();
  spdlog::debug("main: targetVer = {}", targetVer);
  spdlog::debug("main: currentVer = {}", currentVer);

  // An older installed version is replaced at once; otherwise a missing
  // service is what makes an installation due.
  if (!VersionSortsBefore(currentVer, targetVer) && IsServiceRegistered()) return 0;

  const std::string targetFolder = MakeTargetFolder(targetVer);
  spdlog::debug("main: MakeTargetFolder path = {}", targetFolder);
  if (!CopyData(GetModuleDirectory(), targetFolder)) {
    spdlog::debug("main: CopyData fail path = {}", targetFolder);
    return -1;
  }

  const bool registered = RegisterService(targetFolder);
  spdlog::debug("main: RegisterService: bSuccess = {}", registered);
  IsServiceRegistered();

  // Declared before the log is closed, so the key closes after it.
  RegWriter key;
  if (registered && key.Create(GetRegistryKey())) WriteInstallRecord(key.Key(), targetVer, targetFolder);

  SetupLog::Close();
  return 0;
}
