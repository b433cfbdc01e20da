// Tests of the simulated switch: the built socket.dll is loaded by its full
// path, given as the program's argument, and its functions are found by their
// plain names, as qel does. Every test works in a directory of its own and
// points QELSIM_STATE at a file there; the library reads its settings from
// the environment at each call, so the tests change them as they go.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/switch_library_api.h"
#include "testing/windows_test_files.h"
#include "win32/owned_handle.h"

namespace {

// The library's functions, typed from the one list of them.
struct Library {
  HMODULE module = nullptr;
#define QELSIM_MEMBER(name, parameters) qel::switch_api::name##_function name = nullptr;
  QEL_SWITCH_LIBRARY_FUNCTIONS(QELSIM_MEMBER)
#undef QELSIM_MEMBER
};

template <typename Function>
bool Find(HMODULE module, const char* name, Function& function, std::string& missing) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  if (function == nullptr) missing += std::string(" ") + name;
  return function != nullptr;
}

::testing::AssertionResult Load(const std::wstring& path, Library& library) {
  library.module = LoadLibraryW(path.c_str());
  if (library.module == nullptr) {
    return ::testing::AssertionFailure() << "cannot load the library, error " << GetLastError();
  }
  std::string missing;
#define QELSIM_FIND(name, parameters) Find(library.module, #name, library.name, missing);
  QEL_SWITCH_LIBRARY_FUNCTIONS(QELSIM_FIND)
#undef QELSIM_FIND
  if (!missing.empty()) return ::testing::AssertionFailure() << "missing functions:" << missing;
  return ::testing::AssertionSuccess();
}

std::wstring libraryPath;
Library simSwitch;  // the library under test, loaded once by main

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

void SetEnv(const wchar_t* name, const std::wstring& value) {
  SetEnvironmentVariableW(name, value.c_str());
}
void ClearEnv(const wchar_t* name) { SetEnvironmentVariableW(name, nullptr); }

// A file the library wrote: one that is missing is a failure.
std::string ReadText(const std::wstring& path) {
  if (!qel_test::FileExists(path)) ADD_FAILURE() << "no file " << qel_test::Narrow(path);
  return qel_test::ReadAll(path);
}

void WriteText(const std::wstring& path, const std::string& text) {
  const qel::OwnedHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file) << "error " << GetLastError();
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::vector<std::wstring> FilesIn(const std::wstring& directory) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((directory + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

// A call made on a thread of its own, so that a call that never returns
// can be seen not to.
class CallOnThread {
 public:
  explicit CallOnThread(std::function<std::int32_t()> call) : call_(std::move(call)) {
    thread_.Reset(CreateThread(nullptr, 0, &CallOnThread::Run, this, 0, nullptr));
  }
  ~CallOnThread() {
    if (thread_ && WaitForSingleObject(thread_.get(), 0) == WAIT_TIMEOUT) TerminateThread(thread_.get(), 1);
  }
  CallOnThread(const CallOnThread&) = delete;
  CallOnThread& operator=(const CallOnThread&) = delete;

  // True when the call returned within the time.
  bool Finished(DWORD milliseconds) {
    return thread_ && WaitForSingleObject(thread_.get(), milliseconds) == WAIT_OBJECT_0;
  }
  std::int32_t result() const { return result_; }
  DWORD id() const { return GetThreadId(thread_.get()); }

 private:
  static DWORD WINAPI Run(void* self) {
    auto* call = static_cast<CallOnThread*>(self);
    call->result_ = call->call_();
    return 0;
  }
  std::function<std::int32_t()> call_;
  std::int32_t result_ = 0;
  qel::OwnedHandle thread_;
};

class SimSwitch : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    static int serial = 0;
    directory_ = std::wstring(temp) + L"qelsim-test-" + std::to_wstring(GetCurrentProcessId()) +
                 L"-" + std::to_wstring(++serial);
    ASSERT_TRUE(CreateDirectoryW(directory_.c_str(), nullptr)) << "error " << GetLastError();
    ClearEnv(L"QELSIM_JOURNAL");
    ClearEnv(L"QELSIM_FAULT");
    FreshState();
  }

  void TearDown() override {
    ClearEnv(L"QELSIM_STATE");
    ClearEnv(L"QELSIM_JOURNAL");
    ClearEnv(L"QELSIM_FAULT");
    for (const std::wstring& name : FilesIn(directory_)) DeleteFileW(Path(name).c_str());
    RemoveDirectoryW(directory_.c_str());
  }

  std::wstring Path(const std::wstring& name) const { return directory_ + L"\\" + name; }

  // Points QELSIM_STATE at a state file not used before, which does not exist.
  std::wstring FreshState() {
    state_ = Path(L"state-" + std::to_wstring(++states_));
    SetEnv(L"QELSIM_STATE", state_);
    return state_;
  }

  std::wstring directory_;
  std::wstring state_;
  int states_ = 0;
};

TEST_F(SimSwitch, WordTransferredUnderAnAddressReadsBackForThatAddressOnly) {
  struct Case {
    const char* name;
    const char* written;  // address selected for setdata and transfer
    std::int32_t word;
    std::int32_t stored;  // what transfer returns and receivep6 reads back
    const char* read;     // the same address, maybe spelt differently
    const char* other;    // an address that must still read 0
  };
  const Case cases[] = {
      {"plain address", "192.168.1.10", 5, 5, "192.168.1.10", "192.168.1.11"},
      {"address that is a prefix of another", "192.168.1.1", 3, 3, "192.168.1.1", "192.168.1.10"},
      {"all outlets on", "10.0.0.1", 0x7FFF, 0x7FFF, "10.0.0.1", ""},
      {"sign bit", "10.0.0.1", -32768, -32768, "10.0.0.1", "10.0.0.2"},
      {"all sixteen bits", "10.0.0.1", -1, -1, "10.0.0.1", "10.0.0.2"},
      {"all off", "10.0.0.1", 0, 0, "10.0.0.1", "10.0.0.2"},
      {"empty address", "", 1, 1, "", "192.168.1.10"},
      {"blanks around the address", " 192.168.1.10\t", 9, 9, "192.168.1.10", "192.168.1.11"},
      {"wider than 16 bits keeps the low 16", "10.0.0.1", 65535, -1, "10.0.0.1", "10.0.0.2"},
      {"70000 keeps the low 16", "10.0.0.1", 70000, 4464, "10.0.0.1", "10.0.0.2"},
      {"names are not addresses", "switch-a", 6, 6, "switch-a", "switch-b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FreshState();
    EXPECT_EQ(simSwitch.setip(c.written), 0);
    EXPECT_EQ(simSwitch.setdata(c.word), c.stored);
    EXPECT_EQ(simSwitch.transfer(c.word), c.stored);
    EXPECT_EQ(simSwitch.receivep6(), c.stored) << "just after transfer";
    simSwitch.setip(c.other);
    EXPECT_EQ(simSwitch.receivep6(), 0) << "another address";
    simSwitch.setip(c.read);
    EXPECT_EQ(simSwitch.receivep6(), c.stored);
  }
}

TEST_F(SimSwitch, CleandataAndSetdataAloneChangeNoOutlet) {
  simSwitch.setip("192.168.1.10");
  simSwitch.setdata(5);
  simSwitch.transfer(5);
  EXPECT_EQ(simSwitch.cleandata(1), 1);
  EXPECT_EQ(simSwitch.setdata(7), 7);
  EXPECT_EQ(simSwitch.receivep6(), 5);
  EXPECT_EQ(simSwitch.transfer(1), 1);
  EXPECT_EQ(simSwitch.receivep6(), 1);
}

TEST_F(SimSwitch, ReadsAStateFileAsAPersonMayHaveWrittenIt) {
  struct Case {
    const char* name;
    const char* content;  // null: no state file at all
    const char* address;
    std::int32_t word;
  };
  const Case cases[] = {
      {"no state file", nullptr, "192.168.1.10", 0},
      {"empty state file", "", "192.168.1.10", 0},
      {"unknown address", "192.168.1.10=5\n", "192.168.1.11", 0},
      {"among other lines", "a=1\n192.168.1.10=5\nb=2\n", "192.168.1.10", 5},
      {"CRLF line ends", "a=1\r\n192.168.1.10=5\r\nb=2\r\n", "192.168.1.10", 5},
      {"no final line end", "a=1\n192.168.1.10=5", "192.168.1.10", 5},
      {"blanks around the parts", "  192.168.1.10 \t=  12 \n", "192.168.1.10", 12},
      {"the last line for an address counts", "x=1\nx=3\n", "x", 3},
      {"negative word", "x=-2\n", "x", -2},
      {"explicit plus sign", "x=+4\n", "x", 4},
      {"word beyond 16 bits keeps the low 16", "x=65535\n", "x", -1},
      {"comment line", "#x=4\n", "x", 0},
      {"word that is not a number", "x=5a\n", "x", 0},
      {"hexadecimal is not decimal", "x=0x10\n", "x", 0},
      {"no word", "x=\n", "x", 0},
      {"junk before a good line", "rubbish\n==\nx=8\n", "x", 8},
      {"address holding '='", "k=v=6\n", "k=v", 6},
      {"empty address", "=7\n", "", 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring state = FreshState();
    if (c.content != nullptr) WriteText(state, c.content);
    simSwitch.setip(c.address);
    EXPECT_EQ(simSwitch.receivep6(), c.word);
  }
}

TEST_F(SimSwitch, ReadsTheStateFileAfreshOnEveryCall) {
  WriteText(state_, "192.168.1.10=1\n");
  simSwitch.setip("192.168.1.10");
  EXPECT_EQ(simSwitch.receivep6(), 1);
  WriteText(state_, "192.168.1.10=6\n");
  EXPECT_EQ(simSwitch.receivep6(), 6);

  // and follows QELSIM_STATE as it is at the call
  const std::wstring other = FreshState();
  WriteText(other, "192.168.1.10=3\n");
  EXPECT_EQ(simSwitch.receivep6(), 3);
}

TEST_F(SimSwitch, TransferRewritesOnlyTheSelectedAddressLine) {
  struct Case {
    const char* name;
    const char* before;  // null: no state file yet
    const char* address;
    std::int32_t word;
    const char* after;
  };
  const Case cases[] = {
      {"creates the file", nullptr, "a", 4, "a=4\n"},
      {"adds a new address at the end", "a=1\n", "b", 2, "a=1\nb=2\n"},
      {"replaces the address's line in place", "a=1\nb=2\nc=3\n", "b", 5, "a=1\nb=5\nc=3\n"},
      {"drops further lines for the address", "b=1\na=1\nb=2\n", "b", 7, "b=7\na=1\n"},
      {"keeps comments, blank and other lines", "# switches\nnonsense\n\na=1\n", "a", 0,
       "# switches\nnonsense\n\na=0\n"},
      {"writes the address without blanks", "  a = 1\n", " a ", 2, "a=2\n"},
      {"CRLF line ends become LF", "a=1\r\nb=2\r\n", "a", 3, "a=3\nb=2\n"},
      {"no final line end", "a=1", "b", 2, "a=1\nb=2\n"},
      {"stores the low 16 bits", "", "a", 65536 + 3, "a=3\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring state = FreshState();
    if (c.before != nullptr) WriteText(state, c.before);
    simSwitch.setip(c.address);
    simSwitch.transfer(c.word);
    EXPECT_EQ(ReadText(state), c.after);
  }
  // No temporary file ("state-N.<process>.tmp") stays behind.
  for (const std::wstring& name : FilesIn(directory_)) {
    EXPECT_EQ(name.find(L'.'), std::wstring::npos) << "left behind: " << name.size() << " chars";
  }
}

TEST_F(SimSwitch, StateOutlivesTheLoadedLibraryAndDefaultsToItsDirectory) {
  // A copy of the library in a directory of its own is a separate module,
  // with its own selection, as in another process.
  const std::wstring copy = Path(L"socket.dll");
  ASSERT_TRUE(CopyFileW(libraryPath.c_str(), copy.c_str(), TRUE)) << "error " << GetLastError();
  ClearEnv(L"QELSIM_STATE");
  const std::wstring defaultState = Path(L"socket-sim.state");

  Library first;
  ASSERT_TRUE(Load(copy, first));
  ASSERT_NE(first.module, simSwitch.module);
  EXPECT_EQ(first.transfer(2), 2);  // before any setip: the empty address
  first.setip("192.168.1.10");
  first.transfer(5);
  FreeLibrary(first.module);
  EXPECT_EQ(ReadText(defaultState), "=2\n192.168.1.10=5\n");

  Library second;
  ASSERT_TRUE(Load(copy, second));
  EXPECT_EQ(second.receivep6(), 2) << "the selection starts at the empty address";
  second.setip("192.168.1.10");
  EXPECT_EQ(second.receivep6(), 5);
  FreeLibrary(second.module);

  SetEnv(L"QELSIM_STATE", defaultState);
  simSwitch.setip("192.168.1.10");
  EXPECT_EQ(simSwitch.receivep6(), 5);
}

TEST_F(SimSwitch, JournalHasOneLinePerCall) {
  const std::wstring journal = Path(L"journal.txt");
  WriteText(journal, "earlier line\n");
  SetEnv(L"QELSIM_JOURNAL", journal);

  simSwitch.setip("192.168.1.10");
  simSwitch.receivep6();
  simSwitch.setdata(33);
  simSwitch.transfer(33);
  simSwitch.cleandata(1);
  simSwitch.transfer(1);
  simSwitch.receivep6();
  simSwitch.setip("");
  simSwitch.setip(nullptr);
  simSwitch.setip("two\r\nlines");
  simSwitch.transfer(-1);
  SetEnv(L"QELSIM_FAULT", L"setdata=range");
  simSwitch.setdata(4);
  ClearEnv(L"QELSIM_FAULT");
  SetEnv(L"QELSIM_STATE", Path(L"no such directory\\state"));
  simSwitch.receivep6();

  const std::vector<std::string> lines = Lines(ReadText(journal));
  const std::string unreadable = "receivep6 -> 0 ! cannot read state file ";
  ASSERT_EQ(lines.size(), 14u);
  const std::vector<std::string> expected = {
      "earlier line",
      "setip 192.168.1.10 -> 0",
      "receivep6 -> 0",
      "setdata 33 -> 33",
      "transfer 33 -> 33",
      "cleandata 1 -> 1",
      "transfer 1 -> 1",
      "receivep6 -> 1",
      "setip  -> 0",
      "setip (null) -> 0",
      "setip two??lines -> 0",
      "transfer -1 -> -1",
      "setdata 4 -> 70000",
  };
  // Each call's line ends with the thread that made it.
  const std::string thread = " [thread " + std::to_string(GetCurrentThreadId()) + "]";
  EXPECT_EQ(lines[0], expected[0]);
  for (std::size_t i = 1; i < expected.size(); ++i) EXPECT_EQ(lines[i], expected[i] + thread);
  EXPECT_EQ(lines[13].substr(0, unreadable.size()), unreadable) << lines[13];
  EXPECT_EQ(lines[13].substr(lines[13].size() - thread.size()), thread) << lines[13];
  EXPECT_NE(lines[13].find("no such directory"), std::string::npos) << lines[13];
}

TEST_F(SimSwitch, FaultsTakeEffectAsQelsimFaultSaysAtEachCall) {
  enum class Call { kSetip, kReceive, kSetdata, kCleandata, kTransfer };
  struct Case {
    const char* fault;  // QELSIM_FAULT
    Call call;          // with 5 as the word
    bool hangs;
    std::int32_t result;
    int atLeastMs;     // how long the call must take at least
    int atMostMs;      // and at most
    std::int32_t word;  // what the switch holds afterwards
  };
  const Case cases[] = {
      {"receivep6=range", Call::kReceive, false, 70000, 0, 2000, 0},
      {"setip=range", Call::kSetip, false, 70000, 0, 2000, 0},
      {"setdata=range", Call::kSetdata, false, 70000, 0, 2000, 0},
      {"cleandata=range", Call::kCleandata, false, 70000, 0, 2000, 0},
      {"transfer=range", Call::kTransfer, false, 70000, 0, 2000, 5},
      {"receivep6=slow300", Call::kReceive, false, 0, 280, 2500, 0},
      {"setip=slow300", Call::kSetip, false, 0, 280, 2500, 0},
      {"setdata=slow300", Call::kSetdata, false, 5, 280, 2500, 0},
      {"cleandata=slow300", Call::kCleandata, false, 5, 280, 2500, 0},
      {"transfer=slow300", Call::kTransfer, false, 5, 280, 2500, 5},
      {"transfer=slow200,transfer=range,transfer=slow100", Call::kTransfer, false, 70000, 280,
       2500, 5},
      {" TRANSFER = Range ", Call::kTransfer, false, 70000, 0, 2000, 5},
      {"setdata=range,receivep6=slow5000,cleandata=hang", Call::kTransfer, false, 5, 0, 2000, 5},
      {"junk,=,transfer,transfer=,transfer=wobble,transfer=slow,transfer=slow-5,transfer=slowx,,",
       Call::kTransfer, false, 5, 0, 2000, 5},
      {"receivep6=hang", Call::kReceive, true, 0, 0, 0, 0},
      {"setip=hang", Call::kSetip, true, 0, 0, 0, 0},
      {"setdata=hang", Call::kSetdata, true, 0, 0, 0, 0},
      {"cleandata=hang", Call::kCleandata, true, 0, 0, 0, 0},
      {"transfer=hang", Call::kTransfer, true, 0, 0, 0, 0},
  };
  const std::wstring journal = Path(L"journal.txt");
  SetEnv(L"QELSIM_JOURNAL", journal);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    FreshState();
    simSwitch.setip("a");
    SetEnv(L"QELSIM_FAULT", Wide(c.fault));
    const auto start = std::chrono::steady_clock::now();
    CallOnThread call([&c]() -> std::int32_t {
      switch (c.call) {
        case Call::kSetip: return simSwitch.setip("a");
        case Call::kReceive: return simSwitch.receivep6();
        case Call::kSetdata: return simSwitch.setdata(5);
        case Call::kCleandata: return simSwitch.cleandata(5);
        case Call::kTransfer: return simSwitch.transfer(5);
      }
      return -1;
    });
    if (c.hangs) {
      EXPECT_FALSE(call.Finished(400)) << "returned " << call.result();
      const char* const calls[] = {"setip a", "receivep6", "setdata 5", "cleandata 5",
                                   "transfer 5"};
      const std::vector<std::string> lines = Lines(ReadText(journal));
      ASSERT_FALSE(lines.empty());
      EXPECT_EQ(qel_test::JournalCall(lines.back()), std::string(calls[static_cast<int>(c.call)]) + " hangs");
      EXPECT_EQ(qel_test::JournalThreads(lines.back() + "\n"), std::vector<std::string>{std::to_string(call.id())});
      ClearEnv(L"QELSIM_FAULT");
      continue;
    }
    ASSERT_TRUE(call.Finished(10000)) << "the call did not return";
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(call.result(), c.result);
    EXPECT_GE(ms, c.atLeastMs);
    EXPECT_LE(ms, c.atMostMs);
    ClearEnv(L"QELSIM_FAULT");
    simSwitch.setip("a");
    EXPECT_EQ(simSwitch.receivep6(), c.word);
  }
}

// A switch that changes its outlets late, or never: transfer answers as
// usual, and its word shows in the state later (late<ms>), or not at all
// (ignore).
TEST_F(SimSwitch, ALateOrIgnoredTransferShowsLateOrNever) {
  simSwitch.setip("a");
  SetEnv(L"QELSIM_FAULT", L"transfer=ignore");
  EXPECT_EQ(simSwitch.transfer(5), 5);
  EXPECT_EQ(simSwitch.receivep6(), 0);
  SetEnv(L"QELSIM_FAULT", L"transfer=late1500");
  EXPECT_EQ(simSwitch.transfer(6), 6);
  EXPECT_EQ(simSwitch.receivep6(), 0) << "shown at once";
  for (int waited = 0; waited < 10000 && simSwitch.receivep6() != 6; waited += 50) Sleep(50);
  EXPECT_EQ(simSwitch.receivep6(), 6);
  ClearEnv(L"QELSIM_FAULT");
}

}  // namespace

// The library's path comes after GoogleTest's own options. A Unix path, as
// CTest passes it to Wine, is turned into a path on Wine's Z: drive.
int wmain(int argc, wchar_t** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 2) {
    fwprintf(stderr, L"usage: %ls [gtest options] PATH-OF-socket.dll\n", argv[0]);
    return 2;
  }
  libraryPath = qel_test::WindowsPath(std::wstring(argv[1]));
  const ::testing::AssertionResult loaded = Load(libraryPath, simSwitch);
  if (!loaded) {
    fwprintf(stderr, L"%ls: ", libraryPath.c_str());
    fprintf(stderr, "%s\n", loaded.message());
    return 1;
  }
  return RUN_ALL_TESTS();
}
