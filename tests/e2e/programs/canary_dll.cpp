// Planted beside setup.exe under the name of a DLL that Windows loads on
// demand. Loaded from there, it leaves "<its own path>.loaded" behind and
// refuses to load.
#include "base/unique_handle.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char marker[MAX_PATH + 8] = {};
  const DWORD length = ::GetModuleFileNameA(instance, marker, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return FALSE;
  ::lstrcatA(marker, ".loaded");
  ScopedHandle file(::CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return FALSE;
}
