// How Windows itself reads what setup.exe tells about itself: the version
// resource as the file properties show it, and the manifest as the loader
// turns it into an activation context (a malformed manifest stops the
// program from starting at all).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "base/win.h"
#include "support/paths.h"
#include "test_programs.h"

#include <objbase.h>
#include <winver.h>

namespace {

// The build gives Unix paths; Wine sees the Unix root as drive Z:.
std::wstring SetupExePath() {
  const std::string path = test::FromUnixPath(SETUP_EXE);
  return std::wstring(path.begin(), path.end());
}

// The project version in four parts, missing ones being 0.
std::wstring ExpectedVersion() {
  std::string version = SETUP_PROJECT_VERSION;
  int dots = static_cast<int>(std::count(version.begin(), version.end(), '.'));
  for (; dots < 3; ++dots) version += ".0";
  return std::wstring(version.begin(), version.end());
}

std::wstring QueryString(const std::vector<BYTE>& info, const std::wstring& path) {
  void* value = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(info.data(), path.c_str(), &value, &length) || value == nullptr) return L"<missing>";
  return std::wstring(static_cast<const wchar_t*>(value));
}

TEST(SetupExeAsWindowsReadsIt, VersionResource) {
  const std::wstring exe = SetupExePath();
  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &ignored);
  ASSERT_NE(size, 0u) << "no version resource, error " << ::GetLastError();
  std::vector<BYTE> info(size);
  ASSERT_TRUE(::GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));

  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", &value, &length));
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  VS_FIXEDFILEINFO fixed;
  std::memcpy(&fixed, value, sizeof fixed);
  EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
  wchar_t fileVersion[64];
  swprintf(fileVersion, 64, L"%u.%u.%u.%u", HIWORD(fixed.dwFileVersionMS), LOWORD(fixed.dwFileVersionMS),
           HIWORD(fixed.dwFileVersionLS), LOWORD(fixed.dwFileVersionLS));
  EXPECT_EQ(fileVersion, ExpectedVersion());
  EXPECT_EQ(fixed.dwProductVersionMS, fixed.dwFileVersionMS);
  EXPECT_EQ(fixed.dwProductVersionLS, fixed.dwFileVersionLS);
  EXPECT_EQ(fixed.dwFileType, static_cast<DWORD>(VFT_APP));

  // The properties dialog finds the strings through the first translation.
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &value, &length));
  ASSERT_GE(length, 2 * sizeof(WORD));
  WORD translation[2];
  std::memcpy(translation, value, sizeof translation);
  wchar_t block[64];
  swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);

  struct Entry {
    const wchar_t* name;
    std::wstring value;
  };
  for (const Entry& e : {Entry{L"CompanyName", L"Korven"}, Entry{L"ProductName", L"Ventaro"},
                         Entry{L"FileDescription", L"Ventaro Setup"}, Entry{L"FileVersion", ExpectedVersion()},
                         Entry{L"ProductVersion", ExpectedVersion()}, Entry{L"OriginalFilename", L"setup.exe"}}) {
    EXPECT_EQ(QueryString(info, std::wstring(block) + e.name), e.value) << std::wstring(e.name).c_str();
  }
}

// A compatibility element as Windows 10 and Wine return it; MinGW's header
// still declares the older one without MaxVersionTested.
struct CompatibilityElement {
  GUID Id;
  ACTCTX_COMPATIBILITY_ELEMENT_TYPE Type;
  ULONGLONG MaxVersionTested;
};
struct CompatibilityInformation {
  DWORD ElementCount;
  CompatibilityElement Elements[1];
};

struct ActCtxCloser {
  HANDLE context;
  ~ActCtxCloser() { ::ReleaseActCtx(context); }
};

TEST(SetupExeAsWindowsReadsIt, Manifest) {
  const std::wstring exe = SetupExePath();
  ACTCTXW request = {};
  request.cbSize = sizeof request;
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.lpSource = exe.c_str();
  request.lpResourceName = MAKEINTRESOURCEW(1);
  HANDLE context = ::CreateActCtxW(&request);
  ASSERT_NE(context, INVALID_HANDLE_VALUE) << "the manifest does not load, error " << ::GetLastError();
  ActCtxCloser closer{context};

  ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION runLevel = {};
  SIZE_T written = 0;
  ASSERT_TRUE(
      ::QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext, &runLevel, sizeof runLevel, &written))
      << ::GetLastError();
  EXPECT_EQ(runLevel.RunLevel, ACTCTX_RUN_LEVEL_REQUIRE_ADMIN);
  EXPECT_EQ(runLevel.UiAccess, 0u);

  SIZE_T required = 0;
  ::QueryActCtxW(0, context, nullptr, CompatibilityInformationInActivationContext, nullptr, 0, &required);
  ASSERT_GE(required, sizeof(CompatibilityInformation)) << ::GetLastError();
  std::vector<BYTE> buffer(required);
  ASSERT_TRUE(::QueryActCtxW(0, context, nullptr, CompatibilityInformationInActivationContext, buffer.data(),
                             buffer.size(), &written))
      << ::GetLastError();
  DWORD count = 0;
  std::memcpy(&count, buffer.data(), sizeof count);
  ASSERT_EQ(written, offsetof(CompatibilityInformation, Elements) + count * sizeof(CompatibilityElement))
      << "an element layout other than the one this test reads";
  std::vector<std::wstring> systems;
  for (DWORD i = 0; i < count; ++i) {
    CompatibilityElement element;
    std::memcpy(&element, buffer.data() + offsetof(CompatibilityInformation, Elements) + i * sizeof element,
                sizeof element);
    EXPECT_EQ(element.Type, ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS);
    wchar_t text[40];
    ASSERT_GT(::StringFromGUID2(element.Id, text, 40), 0);
    systems.push_back(text);
  }
  std::sort(systems.begin(), systems.end());
  const std::vector<std::wstring> windows7To11 = {
      L"{1F676C76-80E1-4239-95BB-83D0F6D0DA78}",  // 8.1
      L"{35138B9A-5D96-4FBD-8E2D-A2440225F93A}",  // 7
      L"{4A2F28E3-53B9-4441-BA9C-D69D4A4A6E38}",  // 8
      L"{8E0F7A12-BFB3-4FE8-B9A5-48FD50A15A9A}",  // 10 and 11
  };
  EXPECT_EQ(systems, windows7To11);
}

}  // namespace
