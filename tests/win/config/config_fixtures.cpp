#include "config_fixtures.h"

#include "support/scratch.h"

namespace test {
namespace {

std::vector<ShownBox> g_boxes;

int WINAPI RecordBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  g_boxes.push_back({owner, text ? text : "(null)", caption ? caption : "(null)", style});
  return IDOK;
}

}  // namespace

SetupIniBesideExe::SetupIniBesideExe(const std::string& content) { WriteFileContent(Path(), content); }

SetupIniBesideExe::~SetupIniBesideExe() { ::DeleteFileA(Path().c_str()); }

MessageBoxRecorder::MessageBoxRecorder() : previous_(SetMessageBoxFunction(&RecordBox)) { g_boxes.clear(); }

MessageBoxRecorder::~MessageBoxRecorder() {
  SetMessageBoxFunction(previous_);
  g_boxes.clear();
}

const std::vector<ShownBox>& MessageBoxRecorder::Boxes() const { return g_boxes; }

std::vector<std::string> MessageBoxRecorder::Texts() const {
  std::vector<std::string> texts;
  for (const ShownBox& box : g_boxes) texts.push_back(box.text);
  return texts;
}

void MessageBoxRecorder::Clear() { g_boxes.clear(); }

}  // namespace test
