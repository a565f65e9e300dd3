#include "service/register_service.h"

#include "config/setup_settings.h"
#include "service/execute_command.h"
#include "service/quote_command_path.h"

bool RegisterService(const std::string& targetFolder) {
  // A bare file name would be looked up along the search path, and this
  // runs elevated.
  if (targetFolder.empty()) return false;

  const std::string executablePath = targetFolder + GetExecution();
  return ExecuteCommand(QuoteCommandPath(executablePath) + " /Service");
}
