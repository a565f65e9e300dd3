#include "config/setting_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  std::string value;
  bool safe;
};

// Shows control characters, which would otherwise vanish from a failure.
std::string Printable(const std::string& text) {
  std::string shown;
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20) {
      const char* digits = "0123456789abcdef";
      shown += std::string("\\x") + digits[c >> 4] + digits[c & 0xf];
    } else {
      shown += c;
    }
  }
  return shown.size() > 40 ? shown.substr(0, 20) + "...(" + std::to_string(text.size()) + " characters)" : shown;
}

TEST(SettingRules, FileNamesStayOneHarmlessName) {
  const Case cases[] = {
      {"fansvc.exe", true},
      {"fan svc.exe", true},
      {"1.2.0.8", true},
      {"2.0 beta", true},
      {" leading blank", true},
      {"K\xFChler", true},  // ANSI beyond ASCII
      {"console", true},
      {"com10", true},
      {"lpt0", true},
      {"nul1.txt", true},
      {"cons.txt", true},
      {std::string(255, 'n'), true},
      {std::string(256, 'n'), false},
      {"", false},
      {".", false},
      {"..", false},
      {"...", false},
      {"fansvc.", false},
      {"fansvc ", false},
      {"a\\b", false},
      {"a/b", false},
      {"C:x", false},
      {"a:b", false},
      {"file.exe:stream", false},
      {"a*b", false},
      {"a?b", false},
      {"fan\"svc.exe", false},
      {"fansvc.exe\"", false},
      {"a<b", false},
      {"a>b", false},
      {"a|b", false},
      {"a\tb", false},
      {"a\x1fz", false},
      {"con", false},
      {"CON", false},
      {"con.txt", false},
      {"Con .log", false},
      {"prn", false},
      {"aux.dat", false},
      {"NUL", false},
      {"com1", false},
      {"COM9.exe", false},
      {"lpt1", false},
      {"Lpt9.txt", false},
      // A device name is the part before the first dot, not the last.
      {"con.tar.gz", false},
      {"NUL.a.b.c", false},
      {"com1 .tar.gz", false},
      {"cons.tar.gz", true},
  };
  for (const Case& c : cases) EXPECT_EQ(IsSafeFileName(c.value), c.safe) << Printable(c.value);
}

TEST(SettingRules, InstallPathStaysBelowTheProgramFilesFolder) {
  const Case cases[] = {
      {"", true},
      {"Tools\\FanService", true},
      {"Tools\\FanService\\", true},  // as GetInstallPath returns it
      {"Korven\\Ventaro\\", true},
      {"Fan Control\\Service\\", true},
      {"Korven", true},
      {"Tools\\FanService\\\\", false},
      {"a\\\\b", false},
      {"\\", false},
      {"\\abs", false},
      {"\\abs\\", false},
      {"\\\\server\\share", false},
      {"\\\\?\\C:\\x", false},
      {"C:x", false},
      {"C:\\Windows", false},
      {"a:b", false},
      {"..", false},
      {"..\\", false},
      {"a\\..\\b", false},
      {"Tools\\..\\..\\Windows\\", false},
      {".\\Tools", false},
      {"Tools\\.", false},
      {"a.\\b", false},
      {"a \\b", false},
      {"Tools/FanService", false},
      {"Tools\\Fan*", false},
      {"Tools\\con", false},
      {"aux\\Tools", false},
      {"Tools\\\"Fan\"", false},
      {"Tools\x0aService", false},
      {std::string(255, 'p') + "\\", true},
      {std::string(256, 'p') + "\\", false},
      {std::string(300, 'p'), false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsSafeInstallPath(c.value), c.safe) << Printable(c.value);
}

TEST(SettingRules, VersionIsEmptyOrOneFolderName) {
  const Case cases[] = {
      {"", true},
      {"1.2.0.8", true},
      {"1.4.2", true},
      {"2.0 beta", true},
      {".", false},
      {"..", false},
      {"1.2\\3", false},
      {"..\\..\\Windows", false},
      {"1.2/3", false},
      {"C:1.2", false},
      {"1.4|2", false},
      {"1.2.", false},
      {"1.2 ", false},
      {"con", false},
      {std::string(300, 'v'), false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsSafeVersion(c.value), c.safe) << Printable(c.value);
}

TEST(SettingRules, TargetSubPathNeedsBothSafeNotBothEmptyAndRoomInMaxPath) {
  const struct {
    std::string installPath;
    std::string version;
    bool safe;
  } cases[] = {
      {"Tools\\FanService\\", "1.4.2", true},
      {"Tools\\FanService\\", "", true},
      {"", "1.4.2", true},  // no InstallPath: the version right below the folder
      {"", "", false},      // the program-files folder itself
      {"Tools\\FanService\\", "..", false},
      {"..\\", "1.4.2", false},
      {"\\\\server\\share\\", "1.4.2", false},
      {"Tools\\", "a:b", false},
      {std::string(200, 'p') + "\\", std::string(58, 'v'), true},  // 259 characters
      {std::string(200, 'p') + "\\", std::string(59, 'v'), false},
      {std::string(250, 'p') + "\\" + std::string(8, 'q') + "\\", "", false},  // 260 without a version
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsSafeTargetSubPath(c.installPath, c.version), c.safe)
        << Printable(c.installPath) << " + " << Printable(c.version);
  }
}

TEST(SettingRules, ExecutionIsOneFileNameOfTheTargetFolder) {
  const Case cases[] = {
      {"fansvc.exe", true},
      {"VentaroService.exe", true},
      {"fan svc.exe", true},
      {"", true},  // stays with the folder itself, which cannot start
      {"..\\evil.exe", false},
      {"sub\\fansvc.exe", false},
      {"\\fansvc.exe", false},
      {"C:fansvc.exe", false},
      {"C:\\Windows\\evil.exe", false},
      {"/fansvc.exe", false},
      {"fansvc.exe\" /Other \"x", false},
      {"fansvc.exe\"", false},
      {"fansvc*.exe", false},
      {"fansvc.exe|x", false},
      {"..", false},
      {"fansvc.exe.", false},
      {"nul.exe", false},
      {"fan\x0dsvc.exe", false},
      {std::string(300, 'x'), false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsSafeExecution(c.value), c.safe) << Printable(c.value);
}

}  // namespace
