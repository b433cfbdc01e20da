// The state viewer's report: on the fixture beside this file with the sample
// ip.ini that scripts/run.sh, the benchmark and the soak use, and on a table
// of settings files with missing and broken entries.
#include "tools/state_viewer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/counts.h"

namespace {

struct Shown {
  int code;
  std::string out;
  std::string err;
};

Shown Show(const std::string& state, const std::optional<std::string>& ini) {
  std::ostringstream out, err;
  const int code = qel::simswitch::ShowState(state, ini, out, err);
  return {code, out.str(), err.str()};
}

class StateViewer : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("qel-state-viewer-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Put(const char* name, const std::string& content) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  std::filesystem::path dir_;
};

const std::string kSource = QEL_SOURCE_DIR;

// The lines of the outlets after the fourth, which the files here name no
// mask for.
std::string OutletsWithoutMask() {
  std::string lines;
  for (int outlet = 5; outlet <= qel::kOutletCount; ++outlet) {
    lines += "outlet " + std::to_string(outlet) + ": no SW" + std::to_string(outlet) + " in [Qelmark]\n";
  }
  return lines;
}

TEST_F(StateViewer, FixtureWithTheSampleSettings) {
  const std::string state = kSource + "/tools/testdata/socket-sim.state";
  const std::string ini = kSource + "/tools/sample-ip.ini";
  // The last line for 192.168.1.10 counts (133 = 128 + 4 + 1); the comment,
  // the blank and malformed lines and the hexadecimal word are no switches.
  const Shown shown = Show(state, ini);
  EXPECT_EQ(shown.code, 0);
  EXPECT_EQ(shown.err, "");
  EXPECT_EQ(shown.out,
            "192.168.1.10 = 133\n"
            "192.168.1.11 = -32768\n"
            "(empty address) = 7\n"
            "switch 192.168.1.10 (IP in " + ini + "), word 133:\n"
            "outlet 1: on\n"
            "outlet 2: on\n"
            "outlet 3: off\n"
            "outlet 4: on\n" + OutletsWithoutMask());
}

TEST_F(StateViewer, StateFileAlone) {
  const std::string missing = (dir_ / "none.state").string();
  EXPECT_EQ(Show(missing, std::nullopt).out, "no state file " + missing + ": every switch reads 0\n");
  const std::string empty = Put("empty.state", "# nothing yet\r\n\r\nx\r\n");
  EXPECT_EQ(Show(empty, std::nullopt).out, empty + " holds no switch: every switch reads 0\n");
  const std::string one = Put("one.state", "a=65535");
  EXPECT_EQ(Show(one, std::nullopt).out, "a = -1\n");
}

TEST_F(StateViewer, OutletsFromSettings) {
  const std::string state = Put("s.state", "10.0.0.1=-1\n=5\n");
  const struct {
    const char* what;
    const char* ini;
    const char* expected;  // after the state lines; "%" stands for the ini's path
  } cases[] = {
      {"masks AND a negative word",
       "[qelmark]\nip = \" 10.0.0.1 \"\nSW1=0\nSW2=-32768\nSW3= +2 \nSW4=128\n",
       "switch 10.0.0.1 (IP in %), word -1:\noutlet 1: off\noutlet 2: on\noutlet 3: on\noutlet 4: on\n"},
      {"missing and broken masks",
       "[Qelmark]\r\nIP=10.0.0.1\r\nSW1=1\r\nSW3=0x1\r\nSW4=\r\n; SW2=4\r\n",
       "switch 10.0.0.1 (IP in %), word -1:\noutlet 1: on\noutlet 2: no SW2 in [Qelmark]\n"
       "outlet 3: SW3 is not a decimal mask: 0x1\noutlet 4: SW4 is not a decimal mask: \n"},
      {"an empty IP is the empty address",
       "[Qelmark]\nIP=\nSW1=4\nSW2=1\n",
       "switch (empty address) (IP in %), word 5:\noutlet 1: on\noutlet 2: on\n"
       "outlet 3: no SW3 in [Qelmark]\noutlet 4: no SW4 in [Qelmark]\n"},
      {"an address without a line reads 0",
       "[Qelmark]\nIP=10.0.0.2\nSW1=1\nSW2=1\nSW3=1\nSW4=1\n",
       "switch 10.0.0.2 (IP in %), word 0:\noutlet 1: off\noutlet 2: off\noutlet 3: off\noutlet 4: off\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string ini = Put("ip.ini", c.ini);
    std::string expected = c.expected;
    expected.replace(expected.find('%'), 1, ini);
    const Shown shown = Show(state, ini);
    EXPECT_EQ(shown.code, 0);
    EXPECT_EQ(shown.out, "10.0.0.1 = -1\n(empty address) = 5\n" + expected + OutletsWithoutMask());
  }
}

TEST_F(StateViewer, SettingsThatNameNoSwitch) {
  const std::string state = Put("s.state", "a=1\n");
  const std::string noIp = Put("ip.ini", "[Other]\nIP=a\n[Qelmark]\nSW1=1\n");
  Shown shown = Show(state, noIp);
  EXPECT_EQ(shown.code, 1);
  EXPECT_EQ(shown.out, "a = 1\n");
  EXPECT_EQ(shown.err, noIp + " has no IP in [Qelmark]\n");

  const std::string missing = (dir_ / "missing.ini").string();
  shown = Show(state, missing);
  EXPECT_EQ(shown.code, 1);
  EXPECT_EQ(shown.err, "cannot read " + missing + "\n");
}

}  // namespace
