#include "tools/acpi-sim/append_journal_line.h"

#include "base/unique_handle.h"

bool AppendJournalLine(const std::string& path, const std::string& line) {
  // Appends from several server processes at once may land on one offset
  // (measured under Wine), so the servers take turns.
  ScopedHandle turn(::CreateMutexA(nullptr, FALSE, "Local\\acpi-sim-journal"));
  if (!turn.IsValid()) return false;
  const DWORD waited = ::WaitForSingleObject(turn.Get(), 10000);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return false;

  bool written = false;
  {
    ScopedHandle file(::CreateFileA(path.c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD count = 0;
    written = file.IsValid() &&
              ::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &count, nullptr) &&
              count == line.size();
  }
  ::ReleaseMutex(turn.Get());
  return written;
}
