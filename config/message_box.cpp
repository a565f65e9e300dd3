#include "config/message_box.h"

namespace {

// Null means ::MessageBoxA itself; keeping it null until a test sets one
// avoids a global that needs dynamic initialisation.
MessageBoxFunction g_messageBox = nullptr;

MessageBoxFunction CurrentMessageBox() { return g_messageBox ? g_messageBox : &::MessageBoxA; }

}  // namespace

void ShowMessageBox(const char* text) { CurrentMessageBox()(nullptr, text, "Ventaro Setup", MB_OK); }

MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function) {
  MessageBoxFunction previous = CurrentMessageBox();
  g_messageBox = function;
  return previous;
}
