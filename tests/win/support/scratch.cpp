#include "support/scratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "base/unique_handle.h"

namespace test {
namespace {

constexpr char kRegRoot[] = "SOFTWARE\\VentaroSetupTests";

std::string TempFolder() {
  char buffer[MAX_PATH + 1] = {};
  DWORD n = ::GetTempPathA(sizeof buffer, buffer);
  std::string path(buffer, n);
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

}  // namespace

std::string UniqueName(const std::string& stem) {
  static std::atomic<unsigned> counter{0};
  return stem + "-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(::GetTickCount()) + "-" +
         std::to_string(counter++);
}

ScratchFolder::ScratchFolder() {
  path_ = TempFolder() + UniqueName("setup-test") + "\\";
  if (!::CreateDirectoryA(path_.c_str(), nullptr)) {
    ADD_FAILURE() << "cannot create scratch folder " << path_ << ", error " << ::GetLastError();
  }
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

ScratchRegKey::ScratchRegKey() {
  path_ = std::string(kRegRoot) + "\\" + UniqueName("key");
  LONG status = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  key_.Receive(), nullptr);
  if (status != ERROR_SUCCESS) ADD_FAILURE() << "cannot create scratch key " << path_ << ", status " << status;
}

ScratchRegKey::~ScratchRegKey() {
  key_.Reset();  // closed before the key goes
  ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, path_.c_str());
  ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, path_.c_str());
}

void WriteFileContent(const std::string& path, const std::string& content) {
  ScopedHandle file(
      ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file.IsValid()) << "cannot create " << path << ", error " << ::GetLastError();
  DWORD written = 0;
  ASSERT_TRUE(::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
  ASSERT_EQ(written, content.size());
}

std::string ReadFileContent(const std::string& path) {
  ScopedHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return {};
  std::string content;
  char chunk[65536];
  DWORD got = 0;
  while (::ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr) && got > 0) content.append(chunk, got);
  return content;
}

bool FileExists(const std::string& path) {
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  ScopedFindHandle find(::FindFirstFileA((folder + "*").c_str(), &data));
  if (!find) return names;
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    names.push_back(name + ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? "\\" : ""));
  } while (::FindNextFileA(find.Get(), &data));
  std::sort(names.begin(), names.end());
  return names;
}

void RemoveTree(const std::string& path) {
  std::string folder = path;
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  if (folder.empty()) return;
  WIN32_FIND_DATAA data;
  ScopedFindHandle find(::FindFirstFileA((folder + "\\*").c_str(), &data));
  if (find.IsValid()) {
    do {
      std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      std::string child = folder + "\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(child.c_str());
      }
    } while (::FindNextFileA(find.Get(), &data));
  }
  find.Reset();
  ::SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::RemoveDirectoryA(folder.c_str());
}

}  // namespace test
