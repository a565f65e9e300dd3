#pragma once

// True when the service control manager can be opened with full access and
// knows a service named by the ServiceName setting.
bool IsServiceRegistered();
