#pragma once

#include <gtest/gtest.h>

#include <objbase.h>

#include "sim_server.h"

namespace test {

// Keeps one server process for a test's calls. Tests whose point is not
// the fresh process per call use it: each fresh process costs a second
// under Wine, and how a call is answered does not depend on it.
constexpr char kResidentProfile[] = "[Server]\r\nResident=2000\r\n";

// A registered copy of the server and COM on the test's thread, in a
// single-threaded apartment as the installer's thread is.
class AcpiSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
    ASSERT_EQ(server_.Run("/RegServer"), 0);
  }
  void TearDown() override { ::CoUninitialize(); }

  SimServer server_;
};

}  // namespace test
