// A small table-driven check runner for the tests that run as Windows
// programs under Wine, where GoogleTest is not at hand. Each failed check
// prints its place and message; the run ends with "N passed, N failed".
#pragma once

#include <cstdio>
#include <string>

namespace check {

struct Tally {
  int passed = 0;
  int failed = 0;
};
inline Tally& Totals() {
  static Tally tally;
  return tally;
}

inline void Expect(bool ok, const char* file, int line, const std::string& what) {
  if (ok) {
    ++Totals().passed;
  } else {
    ++Totals().failed;
    std::printf("FAIL %s:%d: %s\n", file, line, what.c_str());
  }
}

// Shows bytes so that a wrong one is visible: printable ASCII as is, others \xNN.
inline std::string Show(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out + "\"";
}

inline int Finish() {
  std::printf("%d passed, %d failed\n", Totals().passed, Totals().failed);
  return Totals().failed == 0 ? 0 : 1;
}

}  // namespace check

#define EXPECT_THAT(cond, what) ::check::Expect((cond), __FILE__, __LINE__, (what))
