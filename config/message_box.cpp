#include "config/message_box.h"

namespace {

// Null means ::MessageBoxA itself; keeping it null until a test sets one
// avoids a global that needs dynamic initialisation.
MessageBoxFunction g_messageBox = nullptr;

MessageBoxFunction CurrentMessageBox() { return g_messageBox ? g_messageBox : &::MessageBoxA; }

}  // namespace

bool WindowStationIsVisible() {
  USEROBJECTFLAGS flags = {};
  if (!::GetUserObjectInformationA(::GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags, nullptr)) {
    return true;  // cannot tell: show the box, as the installer always did
  }
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

void ShowMessageBox(const char* text) {
  // Run unattended (by a deployment tool as SYSTEM, say) nobody could ever
  // answer the box, and the run would wait for ever.
  if (!WindowStationIsVisible()) return;
  CurrentMessageBox()(nullptr, text, "Ventaro Setup", MB_OK);
}

MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function) {
  MessageBoxFunction previous = CurrentMessageBox();
  g_messageBox = function;
  return previous;
}
