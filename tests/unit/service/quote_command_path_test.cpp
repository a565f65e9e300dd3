#include "service/command_line.h"

#include <gtest/gtest.h>

namespace {

TEST(QuoteCommandPath, QuotesPathsUnlessTooShortOrAlreadyQuotedAtEitherEnd) {
  const struct {
    const char* path;
    const char* quoted;
  } cases[] = {
      {"C:\\Apps\\Fan\\2.1\\fansvc.exe", "\"C:\\Apps\\Fan\\2.1\\fansvc.exe\""},
      {"C:\\Program Files\\Tools\\fan svc.exe", "\"C:\\Program Files\\Tools\\fan svc.exe\""},
      {"ab", "\"ab\""},
      {"C:\\Apps\\Fan\\2.1\\", "\"C:\\Apps\\Fan\\2.1\\\""},  // an empty executable name
      {"\"C:\\Apps\\fansvc.exe\"", "\"C:\\Apps\\fansvc.exe\""},
      {"\"C:\\Apps\\fansvc.exe", "\"C:\\Apps\\fansvc.exe"},
      {"C:\\Apps\\fansvc.exe\"", "C:\\Apps\\fansvc.exe\""},
      {"C:\\Apps\\\"fan\"svc.exe", "\"C:\\Apps\\\"fan\"svc.exe\""},  // quotes inside do not count
      {"\"\"", "\"\""},
      {"a", "a"},
      {"\"", "\""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(QuoteCommandPath(c.path), c.quoted) << c.path;
}

}  // namespace
