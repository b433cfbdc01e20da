#include "core/outlets.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "testing/fake_platform.h"

namespace qel {
namespace {

using Calls = std::vector<std::string>;

struct SwitchByMaskCase {
  const char* what;
  std::int32_t status;
  std::int16_t mask;
  std::int16_t state;
  Calls calls;
};

TEST(SwitchByMask, ReadModifyWriteOfTheStatusWord) {
  const SwitchByMaskCase cases[] = {
      {"off clears the mask's bit", 5, 4, 0, {"setip 10.0.0.2", "receivep6", "cleandata 1", "transfer 1"}},
      {"on sets the mask's bit", 1, 32, 1, {"setip 10.0.0.2", "receivep6", "setdata 33", "transfer 33"}},
      {"off drops bits 8 to 15 too", 384, 128, 0, {"setip 10.0.0.2", "receivep6", "cleandata 0", "transfer 0"}},
      {"mask 256 off leaves bit 8", 256, 256, 0, {"setip 10.0.0.2", "receivep6", "cleandata 256", "transfer 256"}},
      {"any nonzero state is on", 0, 1, 5, {"setip 10.0.0.2", "receivep6", "setdata 1", "transfer 1"}},
      {"a negative state is on", 0, 2, -1, {"setip 10.0.0.2", "receivep6", "setdata 2", "transfer 2"}},
      {"32767 is a valid status word", 32767, 1, 1,
       {"setip 10.0.0.2", "receivep6", "setdata 32767", "transfer 32767"}},
      {"negative word is sign-extended", -32768, 1, 1,
       {"setip 10.0.0.2", "receivep6", "setdata -32767", "transfer -32767"}},
      {"mask -1 off keeps the high byte", -1, -1, 0, {"setip 10.0.0.2", "receivep6", "cleandata -256", "transfer -256"}},
  };
  for (const SwitchByMaskCase& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    SwitchLibrary library(platform);
    platform.status = c.status;
    SwitchByMask(library, L"10.0.0.2", c.mask, c.state);
    EXPECT_EQ(platform.calls, c.calls);
  }
}

// A mask of 0 names no outlet. Switched on it would send the word
// unchanged, off the word cut to its low 8 bits (outlets nobody named): it
// is refused before anything is called, in both states.
TEST(SwitchByMask, AMaskOfZeroIsRefusedBeforeAnythingIsCalled) {
  for (std::int16_t state : {0, 1}) {
    SCOPED_TRACE(state);
    FakePlatform platform;
    SwitchLibrary library(platform);
    platform.status = 0x1234;
    EXPECT_EQ(FailureOf([&] { SwitchByMask(library, L"10.0.0.2", 0, state); }), ErrorKind::kMaskZero);
    EXPECT_EQ(platform.calls, Calls{});
    EXPECT_EQ(platform.libraryLoads, 0);
  }
}

// An address typed in full-width (an IME's digits and full stop) goes to
// the switch in ASCII, for a switch, a status read and a selection alike.
TEST(SelectSwitch, SendsAFullWidthAddressInAscii) {
  const struct {
    std::wstring address;
    std::string sent;
  } cases[] = {
      {L"\uFF11\uFF19\uFF12\uFF0E\uFF11\uFF16\uFF18\uFF0E\uFF11\uFF0E\uFF11\uFF10", "192.168.1.10"},
      {L"\uFF10\uFF19.1\uFF0E2", "09.1.2"},
      // Other characters stay as they were typed.
      {L"switch-\uFF21.local", "switch-\xEF\xBC\xA1.local"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sent);
    FakePlatform platform;
    SwitchLibrary library(platform);
    SelectSwitch(library, c.address);
    ReadStatus(library, c.address);
    SwitchByMask(library, c.address, 1, 1);
    EXPECT_EQ(platform.calls, (Calls{"setip " + c.sent, "setip " + c.sent, "receivep6", "setip " + c.sent, "receivep6",
                                     "setdata 1", "transfer 1"}));
  }
}

TEST(SwitchByMask, AStatusWordOutsideSixteenBitsStopsBeforeAnythingIsSent) {
  FakePlatform platform;
  SwitchLibrary library(platform);
  platform.status = 32768;
  EXPECT_EQ(FailureOf([&] { SwitchByMask(library, L"a", 1, 1); }), ErrorKind::kOverflow);
  EXPECT_EQ(platform.calls, (Calls{"setip a", "receivep6"}));
}

// Once the library holds the new word, an answer outside 16 bits is a
// failure of its own: the outlet may have switched.
struct AnswerCase {
  const char* function;
  std::int32_t answer;
  std::int16_t state;
  std::optional<ErrorKind> failure;
  Calls calls;
};

TEST(SwitchByMask, AnAnswerToTheNewWordOutsideSixteenBitsSaysTheOutletMayHaveSwitched) {
  const AnswerCase cases[] = {
      {"setdata", 32768, 1, ErrorKind::kAnswerOutOfRange, {"setip a", "receivep6", "setdata 1"}},
      {"cleandata", -32769, 0, ErrorKind::kAnswerOutOfRange, {"setip a", "receivep6", "cleandata 0"}},
      {"transfer", 65536, 1, ErrorKind::kAnswerOutOfRange, {"setip a", "receivep6", "setdata 1", "transfer 1"}},
      {"transfer", -32768, 0, std::nullopt, {"setip a", "receivep6", "cleandata 0", "transfer 0"}},
      {"setdata", 32767, 1, std::nullopt, {"setip a", "receivep6", "setdata 1", "transfer 1"}},
  };
  for (const AnswerCase& c : cases) {
    SCOPED_TRACE(std::string(c.function) + " answers " + std::to_string(c.answer));
    FakePlatform platform;
    SwitchLibrary library(platform);
    platform.results[c.function] = c.answer;
    EXPECT_EQ(FailureOf([&] { SwitchByMask(library, L"a", 1, c.state); }), c.failure);
    EXPECT_EQ(platform.calls, c.calls);
  }
}

TEST(ReadStatus, SelectsThenReads) {
  FakePlatform platform;
  SwitchLibrary library(platform);
  platform.status = -3;
  EXPECT_EQ(ReadStatus(library, L"192.168.1.0"), -3);
  EXPECT_EQ(platform.calls, (Calls{"setip 192.168.1.0", "receivep6"}));
  platform.status = 40000;
  EXPECT_EQ(FailureOf([&] { ReadStatus(library, L"x"); }), ErrorKind::kOverflow);
}

TEST(SwitchLibrary, LoadsOnceLooksUpEachFunctionOnceRetriesFailures) {
  FakePlatform platform;
  SwitchLibrary library(platform);
  platform.libraryPresent = false;
  EXPECT_EQ(FailureOf([&] { library.setip(L"a"); }), ErrorKind::kLibraryNotFound);
  EXPECT_EQ(FailureOf([&] { library.receivep6(); }), ErrorKind::kLibraryNotFound);
  EXPECT_EQ(platform.libraryLoads, 2);

  platform.libraryPresent = true;
  platform.missingFunctions = {"transfer"};
  library.setip(L"a");
  library.setip(L"b");
  EXPECT_EQ(FailureOf([&] { library.transfer(1); }), ErrorKind::kFunctionNotFound);
  EXPECT_EQ(FailureOf([&] { library.transfer(1); }), ErrorKind::kFunctionNotFound);
  platform.missingFunctions.clear();
  library.transfer(2);
  library.transfer(3);
  EXPECT_EQ(platform.libraryLoads, 3);
  EXPECT_EQ(platform.lookups, (Calls{"setip", "transfer", "transfer", "transfer"}));
  EXPECT_EQ(platform.calls, (Calls{"setip a", "setip b", "transfer 2", "transfer 3"}));
}

// Every call is told to the watch before and after it, also one that
// fails (a script's watchdog must not go on timing it).
TEST(SwitchLibrary, TellsTheWatchOfEveryCallAndItsEnd) {
  struct Watch : SwitchCallWatch {
    explicit Watch(Calls& calls) : calls(calls) {}
    void Begins(const char* function) override { calls.push_back(std::string("begins ") + function); }
    void Ended() override { calls.push_back("ended"); }
    void StepBegins(const std::wstring&) override {}
    Calls& calls;
  };
  FakePlatform platform;
  SwitchLibrary library(platform);
  Watch watch(platform.calls);
  library.Watch(&watch);
  platform.status = 1;
  SwitchByMask(library, L"a", 4, 1);
  platform.missingFunctions = {"cleandata"};
  EXPECT_EQ(FailureOf([&] { SwitchByMask(library, L"b", 4, 0); }), ErrorKind::kFunctionNotFound);
  library.Watch(nullptr);
  library.setip(L"c");
  EXPECT_EQ(platform.calls,
            (Calls{"begins setip", "setip a", "ended", "begins receivep6", "receivep6", "ended", "begins setdata",
                   "setdata 5", "ended", "begins transfer", "transfer 5", "ended", "begins setip", "setip b", "ended",
                   "begins receivep6", "receivep6", "ended", "begins cleandata", "ended", "setip c"}));
}

TEST(SwitchByMask, AnAddressTheCodePageCannotHoldReachesNoSwitch) {
  FakePlatform platform;
  SwitchLibrary library(platform);
  platform.outsideCodePage = L"Ω";
  EXPECT_EQ(FailureOf([&] { SwitchByMask(library, L"10.0.0.Ω", 1, 1); }), ErrorKind::kNotInCodePage);
  EXPECT_TRUE(platform.calls.empty());
}

// An address that names no switch never reaches the library: not even
// loaded, nothing selected, read or sent.
TEST(SwitchByMask, ABlankAddressCallsNoLibrary) {
  const struct {
    const char* what;
    std::wstring address;
    bool blank;
  } cases[] = {
      {"empty", L"", true},
      {"blanks", L"   ", true},
      {"a tab and a line feed", L"\t\n", true},
      {"the ideographic space of an IME", L"\u3000", true},
      {"a no-break space and Ctrl-Z", L"\u00A0\x1A", true},
      // The blanks a read of ip.ini may trim, each of them.
      {"an em space and a narrow no-break space", L"\u2003\u202F", true},
      {"a line separator", L"\u2028", true},
      {"a zero-width space, which is no blank", L"\u200B", false},
      {"an address with blanks around it", L" 10.0.0.2 ", false},
      {"one character", L"x", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(AddressIsBlank(c.address), c.blank);
    for (std::int16_t state : {0, 1}) {
      FakePlatform platform;
      SwitchLibrary library(platform);
      const std::optional<ErrorKind> failure = FailureOf([&] { SwitchByMask(library, c.address, 1, state); });
      EXPECT_EQ(failure, c.blank ? std::optional(ErrorKind::kNoAddress) : std::nullopt);
      EXPECT_EQ(platform.calls.empty(), c.blank);
      EXPECT_EQ(platform.libraryLoads, c.blank ? 0 : 1);
    }
    for (const auto& select : {std::function<void(SwitchLibrary&)>([&](SwitchLibrary& l) { ReadStatus(l, c.address); }),
                               std::function<void(SwitchLibrary&)>([&](SwitchLibrary& l) { SelectSwitch(l, c.address); })}) {
      FakePlatform platform;
      SwitchLibrary library(platform);
      const std::optional<ErrorKind> failure = FailureOf([&] { select(library); });
      EXPECT_EQ(failure, c.blank ? std::optional(ErrorKind::kNoAddress) : std::nullopt);
      EXPECT_EQ(platform.libraryLoads, c.blank ? 0 : 1);
    }
  }
}

TEST(ReadStoredOutlet, TakesAddressAndMaskFromTheSettingsFile) {
  FakePlatform platform;
  platform.SetIni("[Qelmark]\r\nIP=192.168.1.10\r\nSW1=1\r\nSW2=4\r\nSW3=12.9\r\nSW4=abc\r\nSW-2=2\r\n"
                  "SW7=\xEF\xBC\x91\xEF\xBC\x92\xEF\xBC\x98\r\nSW8=40000\r\n");  // SW7=１２８, as an IME types it
  const struct {
    std::int16_t outlet;
    std::int16_t mask;
  } masks[] = {
      {2, 4},
      {3, 12},    // 12.9 is used as 12
      {-2, 2},    // key SW-2
      {7, 128},   // full-width digits are a number
  };
  for (const auto& c : masks) {
    SCOPED_TRACE(c.outlet);
    const StoredOutlet stored = ReadStoredOutlet(platform, c.outlet);
    EXPECT_EQ(stored.address, L"192.168.1.10");
    EXPECT_EQ(stored.mask, c.mask);
  }
  // A mask ip.ini cannot give, each for what is wrong.
  const struct {
    const char* what;
    std::string ini;  // empty: no ip.ini
    std::int16_t outlet;
    ErrorKind failure;
  } failures[] = {
      {"no SW5", "[Qelmark]\r\nSW1=1\r\n", 5, ErrorKind::kNoMaskKey},
      {"no SW0", "[Qelmark]\r\nSW1=1\r\n", 0, ErrorKind::kNoMaskKey},
      {"no SW3", "[Qelmark]\r\nSW1=1\r\n", 3, ErrorKind::kNoMaskKey},
      {"SW3 in another section", "[Other]\r\nSW3=1\r\n[Qelmark]\r\nSW1=1\r\n", 3, ErrorKind::kNoMaskKey},
      {"SW3 empty", "[Qelmark]\r\nSW3=\r\n", 3, ErrorKind::kEmptyMask},
      {"sw3 empty, in lower case", "[Qelmark]\r\nsw3=\r\n", 3, ErrorKind::kEmptyMask},
      {"SW3 blanks in quotes", "[Qelmark]\r\nSW3=\" \"\r\n", 3, ErrorKind::kTypeMismatch},
      {"SW4 no number", "[Qelmark]\r\nSW4=abc\r\n", 4, ErrorKind::kTypeMismatch},
      {"SW8 out of range", "[Qelmark]\r\nSW8=40000\r\n", 8, ErrorKind::kOverflow},
      {"no ip.ini", "", 1, ErrorKind::kNoSettingsFile},
  };
  for (const auto& c : failures) {
    SCOPED_TRACE(c.what);
    FakePlatform other;
    if (!c.ini.empty()) other.SetIni(c.ini);
    EXPECT_EQ(FailureOf([&] { ReadStoredOutlet(other, c.outlet); }), c.failure);
  }
  // A blank address is read as it stands: the switch refuses it.
  platform.SetIni("[Qelmark]\r\nSW1=1\r\n");
  EXPECT_EQ(ReadStoredOutlet(platform, 1).address, L"");
  EXPECT_TRUE(platform.calls.empty());
  EXPECT_EQ(platform.libraryLoads, 0);
}

}  // namespace
}  // namespace qel
