// bench-installed [--absent] SOURCE TARGET
//
// Whether an installation of the payload folder SOURCE into the folder
// TARGET is complete, checked as a person would, with the settings of
// SOURCE\setup.ini ([Common]):
//   - every file at the top level of SOURCE is in TARGET, with the same bytes;
//   - HKLM\<RegistryKey> holds Version (the version setting) and Path (TARGET
//     and a backslash) as REG_SZ, in this program's registry view: the
//     benchmark stages the drivers of the build it measures, so that is the
//     view of the installers it checks (32-bit for the product);
//   - a service named <ServiceName> is registered and runs TARGET's copy of
//     <Execution>.
// With --absent, whether none of it is there: no TARGET folder, no key and no
// service, the clean machine every timed installation starts from.
// Exit code 0 when so, 1 when not (what is not so on stderr, one line each),
// 2 for a wrong command line. A benchmark that times an installation runs
// this after every run: a run that did not install is an error, not a figure.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/unique_handle.h"

namespace {

struct Expected {
  std::string source, target;  // folders, without a trailing backslash
  std::string key, version, service, program;
};

std::string Setting(const std::string& ini, const char* key) {
  char value[1024] = {};
  ::GetPrivateProfileStringA("Common", key, "", value, sizeof value, ini.c_str());
  return value;
}

std::string WithoutTrailingBackslashes(std::string folder) {
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return folder;
}

bool SameBytes(const std::string& a, const std::string& b) {
  ScopedHandle first(::CreateFileA(a.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  ScopedHandle second(::CreateFileA(b.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!first || !second) return false;
  constexpr DWORD kChunk = 1 << 20;
  std::vector<char> x(kChunk), y(kChunk);
  for (;;) {
    DWORD gotX = 0, gotY = 0;
    if (!::ReadFile(first.Get(), x.data(), kChunk, &gotX, nullptr) ||
        !::ReadFile(second.Get(), y.data(), kChunk, &gotY, nullptr)) {
      return false;
    }
    if (gotX != gotY || std::memcmp(x.data(), y.data(), gotX) != 0) return false;
    if (gotX == 0) return true;
  }
}

// Complaints about the files; the first few are named, the rest counted.
int CheckFiles(const Expected& e) {
  WIN32_FIND_DATAA found;
  ScopedFindHandle search(::FindFirstFileA((e.source + "\\*").c_str(), &found));
  if (!search) {
    std::fprintf(stderr, "bench-installed: cannot list %s\n", e.source.c_str());
    return 1;
  }
  int files = 0, wrong = 0;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    ++files;
    if (SameBytes(e.source + "\\" + found.cFileName, e.target + "\\" + found.cFileName)) continue;
    if (++wrong <= 5)
      std::fprintf(stderr, "bench-installed: %s\\%s missing or different\n", e.target.c_str(), found.cFileName);
  } while (::FindNextFileA(search.Get(), &found));
  if (wrong > 5) std::fprintf(stderr, "bench-installed: %d of %d files missing or different\n", wrong, files);
  return wrong;
}

int CheckText(HKEY key, const std::string& keyName, const char* name, const std::string& expected) {
  char value[1024] = {};
  DWORD type = 0, size = sizeof value - 1;
  const LONG status = ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  if (status == ERROR_SUCCESS && type == REG_SZ && ::lstrcmpiA(value, expected.c_str()) == 0) return 0;
  std::fprintf(stderr, "bench-installed: HKLM\\%s %s is %s, not the REG_SZ %s\n", keyName.c_str(), name,
               status != ERROR_SUCCESS ? "missing"
               : type != REG_SZ        ? "not a REG_SZ"
                                       : value,
               expected.c_str());
  return 1;
}

int CheckRecord(const Expected& e) {
  ScopedRegKey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, e.key.c_str(), 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS) {
    std::fprintf(stderr, "bench-installed: no key HKLM\\%s\n", e.key.c_str());
    return 1;
  }
  return CheckText(key.Get(), e.key, "Version", e.version) + CheckText(key.Get(), e.key, "Path", e.target + "\\");
}

// The service's program as registered, without the quotes around it.
bool ServiceProgram(const std::string& name, std::string* program) {
  ScopedServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return false;
  ScopedServiceHandle service(::OpenServiceA(manager.Get(), name.c_str(), SERVICE_QUERY_CONFIG));
  if (!service) return false;
  DWORD needed = 0;
  ::QueryServiceConfigA(service.Get(), nullptr, 0, &needed);
  std::vector<char> buffer(needed + 1);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
  if (!::QueryServiceConfigA(service.Get(), config, needed, &needed)) return false;
  std::string path = config->lpBinaryPathName != nullptr ? config->lpBinaryPathName : "";
  if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
  *program = path;
  return true;
}

int CheckService(const Expected& e) {
  std::string program;
  if (!ServiceProgram(e.service, &program)) {
    std::fprintf(stderr, "bench-installed: no service %s\n", e.service.c_str());
    return 1;
  }
  const std::string expected = e.target + "\\" + e.program;
  if (::lstrcmpiA(program.c_str(), expected.c_str()) == 0) return 0;
  std::fprintf(stderr, "bench-installed: service %s runs %s, not %s\n", e.service.c_str(), program.c_str(),
               expected.c_str());
  return 1;
}

int CheckAbsent(const Expected& e) {
  int present = 0;
  if (::GetFileAttributesA(e.target.c_str()) != INVALID_FILE_ATTRIBUTES) {
    std::fprintf(stderr, "bench-installed: %s exists\n", e.target.c_str());
    ++present;
  }
  ScopedRegKey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, e.key.c_str(), 0, KEY_QUERY_VALUE, key.Receive()) == ERROR_SUCCESS) {
    std::fprintf(stderr, "bench-installed: HKLM\\%s exists\n", e.key.c_str());
    ++present;
  }
  std::string program;
  if (ServiceProgram(e.service, &program)) {
    std::fprintf(stderr, "bench-installed: service %s exists (%s)\n", e.service.c_str(), program.c_str());
    ++present;
  }
  return present;
}

}  // namespace

int main(int argc, char** argv) {
  const bool absent = argc == 4 && std::strcmp(argv[1], "--absent") == 0;
  if (argc != 3 && !absent) {
    std::fputs("usage: bench-installed [--absent] SOURCE TARGET\n", stderr);
    return 2;
  }
  Expected e;
  e.source = WithoutTrailingBackslashes(argv[argc - 2]);
  e.target = WithoutTrailingBackslashes(argv[argc - 1]);
  const std::string ini = e.source + "\\setup.ini";
  e.key = Setting(ini, "RegistryKey");
  e.version = Setting(ini, "version");
  e.service = Setting(ini, "ServiceName");
  e.program = Setting(ini, "Execution");
  if (e.key.empty() || e.version.empty() || e.service.empty() || e.program.empty()) {
    std::fprintf(stderr, "bench-installed: %s lacks a setting of [Common]\n", ini.c_str());
    return 2;
  }
  if (absent) return CheckAbsent(e) == 0 ? 0 : 1;
  return CheckFiles(e) + CheckRecord(e) + CheckService(e) == 0 ? 0 : 1;
}
