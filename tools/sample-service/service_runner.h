#pragma once

// Hands this process to the service control manager: the service reports
// running and stops on request. Returns 0 when the service ran, or the
// platform's error code (ERROR_FAILED_SERVICE_CONTROLLER_CONNECT when the
// program was not started by the manager).
unsigned long RunService();
