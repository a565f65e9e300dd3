// A small program that the config tests start as a process of its own:
//   config_probe module-dir OUTFILE   writes what GetModuleDirectory gives
//   config_probe relay                destroys a reader that was never
//                                     opened, then reads ServiceName with
//                                     no setup.ini beside the probe (one
//                                     message box, one flush request)
#include <cstdio>
#include <cstring>
#include <string>

#include "config/setup_ini.h"
#include "config/setup_settings.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "module-dir") == 0) {
    const std::string directory = GetModuleDirectory();
    FILE* out = std::fopen(argv[2], "wb");
    if (!out) return 2;
    std::fwrite(directory.data(), 1, directory.size(), out);
    return std::fclose(out) == 0 ? 0 : 2;
  }
  if (argc == 2 && std::strcmp(argv[1], "relay") == 0) {
    { SetupIni neverOpened; }
    const std::string name = GetServiceName();
    std::printf("relay probe done, service name \"%s\"\n", name.c_str());
    return 0;
  }
  return 1;
}
