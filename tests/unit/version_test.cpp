// Which systems get the pop-up allowance: XP SP2 and the XP service packs after it.
#include <gtest/gtest.h>

#include <cstring>

#include "fake_system.h"
#include "setup/run_setup.h"

namespace {

TEST(IsXpSp2OrLater, FollowsTheReportedVersion) {
  struct Case {
    std::uint32_t major, minor;
    const char* servicePack;
    bool expected;
  };
  const Case cases[] = {
      {5, 1, "Service Pack 2", true},
      {5, 1, "Service Pack 3", true},
      {5, 1, "Service Pack 2, v.3264", true},
      {5, 1, "", false},
      {5, 1, "Service Pack 1", false},
      {5, 1, "Service Pack 1a", false},
      {5, 1, "service pack 2", false},  // the search is case-sensitive
      {5, 1, "SP2", false},
      {5, 0, "Service Pack 4", false},
      {5, 2, "Service Pack 2", false},
      {5, 2, "", false},
      {6, 0, "Service Pack 2", false},
      {6, 1, "Service Pack 1", false},
      {10, 0, "", false},
      {4, 1, "Service Pack 2", false},
  };
  for (std::size_t row = 0; row < std::size(cases); ++row) {
    const Case& c = cases[row];
    fake::FakeSystem system;
    system.SetVersion(c.major, c.minor, c.servicePack);
    EXPECT_EQ(c.expected, setup::IsXpSp2OrLater(system))
        << "row " << row << ": " << c.major << "." << c.minor << " \"" << c.servicePack << "\"";
  }
}

// The service-pack text is read up to its first zero byte, and never past
// its 128 bytes when the system left no zero there.
TEST(IsXpSp2OrLater, ReadsTheServicePackTextWithinItsField) {
  fake::FakeSystem system;
  system.SetVersion(5, 1, "");
  auto& csd = system.Version.CsdVersion;
  std::memset(csd.data(), 'x', csd.size());
  std::memcpy(csd.data() + csd.size() - 14, "Service Pack 2", 14);  // no zero at all
  EXPECT_TRUE(setup::IsXpSp2OrLater(system));

  std::memcpy(csd.data(), "Service Pack 1\0Service Pack 2", 29);
  EXPECT_FALSE(setup::IsXpSp2OrLater(system));
  csd.fill('\0');
  std::memcpy(csd.data(), "\0Service Pack 2", 15);
  EXPECT_FALSE(setup::IsXpSp2OrLater(system));
}

// A failed query says nothing about the system: no allowance.
TEST(IsXpSp2OrLater, FalseWhenTheQueryFailed) {
  fake::FakeSystem system;
  system.SetVersion(5, 1, "Service Pack 2");
  system.Version.Succeeded = false;
  EXPECT_FALSE(setup::IsXpSp2OrLater(system));
}

}  // namespace
