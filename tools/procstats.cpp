// Prints what Windows counts for a running process, for the soak run:
//
//   procstats.exe PROCESS           one line of counts
//   procstats.exe --close PROCESS   closes its windows and waits for its end
//
// PROCESS is a Windows process id (decimal) or an executable's name such as
// qel.exe (letter case does not matter), looked up with
// CreateToolhelp32Snapshot; a name must match exactly one process.
//
// The line is
//
//   pid=<id> handles=<n> gdi=<n> user=<n> handles_listed=<n> gdi_table=<n> windows=<n>
//
// handles, gdi, user: GetProcessHandleCount, GetGuiResources(GR_GDIOBJECTS)
// and GetGuiResources(GR_USEROBJECTS), the figures Task Manager shows. A
// figure the system cannot give (the call fails, or returns 0, as the stubs
// of Wine 8 do) is "n/a", with the reason attached: "n/a(error-120)" for a
// failure with that error, "n/a(0)" for a bare 0. A live process always
// holds some handles and, with a window, some GDI and USER objects, so 0
// means not known.
//
// The other three count the same things another way, for systems where the
// first three are n/a:
//   handles_listed  the process's entries in the system handle list
//                   (NtQuerySystemInformation(SystemHandleInformation))
//   gdi_table       the process's own GDI objects in its GDI handle table
//                   (the table the PEB points to), stock objects left out.
//                   Only under Wine, whose table layout this reads; on
//                   Windows it is "n/a(not-Wine)"
//   windows         the process's windows, top-level and child: the bulk of
//                   its USER objects (menus, icons and cursors not counted)
//
// No value contains a blank, so the line splits at blanks.
//
// --close posts WM_CLOSE to every visible top-level window of the process
// that has no owner, then waits up to 10 s for the process to end and prints
// "exit=<code>".
//
// Exit code: 0 done, 1 process not found (or not exactly one by that name),
// 2 wrong usage, 3 the process could not be opened, 4 --close: it did not end.
#include <windows.h>
// After windows.h, which they need:
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "win32/owned_handle.h"

namespace {

// The ids of the processes whose executable is named `name`.
std::vector<DWORD> ProcessesNamed(const wchar_t* name) {
  std::vector<DWORD> ids;
  const qel::OwnedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return ids;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (lstrcmpiW(entry.szExeFile, name) == 0) ids.push_back(entry.th32ProcessID);
  }
  return ids;
}

// A process id from the argument: a decimal number, or an executable's name.
bool FindProcess(const wchar_t* argument, DWORD* id) {
  wchar_t* end = nullptr;
  unsigned long number = std::wcstoul(argument, &end, 10);
  if (*argument != L'\0' && *end == L'\0') {
    *id = static_cast<DWORD>(number);
    return true;
  }
  std::vector<DWORD> ids = ProcessesNamed(argument);
  if (ids.size() != 1) {
    std::fprintf(stderr, "procstats: %lu processes named %ls\n", static_cast<unsigned long>(ids.size()), argument);
    return false;
  }
  *id = ids[0];
  return true;
}

// "<n>" or "n/a(<reason>)".
std::string Figure(bool ok, DWORD value, DWORD error) {
  char text[64];
  if (ok && value != 0) {
    std::snprintf(text, sizeof(text), "%lu", static_cast<unsigned long>(value));
  } else if (!ok || error != 0) {
    std::snprintf(text, sizeof(text), "n/a(error-%lu)", static_cast<unsigned long>(error));
  } else {
    std::snprintf(text, sizeof(text), "n/a(0)");
  }
  return text;
}

// The ntdll functions are looked up at run time: nothing to link.
template <typename Function>
Function NtdllFunction(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// The process's entries in the system handle list.
std::string ListedHandles(DWORD id) {
  using Query = NTSTATUS(WINAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
  auto query = NtdllFunction<Query>("NtQuerySystemInformation");
  if (query == nullptr) return "n/a(no-NtQuerySystemInformation)";
  constexpr NTSTATUS kLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
  std::vector<unsigned char> buffer(1 << 16);
  NTSTATUS status;
  for (;;) {
    ULONG needed = 0;
    status = query(SystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status != kLengthMismatch || buffer.size() >= (64u << 20)) break;
    buffer.resize(needed > buffer.size() ? needed + 4096 : buffer.size() * 2);
  }
  char text[64];
  if (status < 0) {
    std::snprintf(text, sizeof(text), "n/a(status-0x%08lx)", static_cast<unsigned long>(status));
    return text;
  }
  const auto* info = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(buffer.data());
  // Windows keeps only the low 16 bits of the process id in this list.
  unsigned long count = 0;
  for (ULONG i = 0; i < info->Count; ++i) {
    if ((info->Handle[i].OwnerPid & 0xffff) == (id & 0xffff)) ++count;
  }
  std::snprintf(text, sizeof(text), "%lu", count);
  return text;
}

// Wine's GDI handle table: 65536 entries of 24 bytes, one table per process;
// an entry in use has a type other than 0, a stock object the stock flag.
struct WineGdiEntry {
  UINT64 object;
  ULONG owner;
  UCHAR extTypeAndStock;  // 7 bits type, then the stock flag
  UCHAR generation;
  UCHAR type;
  UCHAR flags;
  UINT64 userPointer;
};
static_assert(sizeof(WineGdiEntry) == 24, "Wine's GDI_HANDLE_ENTRY is 24 bytes");

std::string GdiTableObjects(HANDLE process) {
  if (!UnderWine()) return "n/a(not-Wine)";
  using Query = NTSTATUS(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  auto query = NtdllFunction<Query>("NtQueryInformationProcess");
  PROCESS_BASIC_INFORMATION basic = {};
  if (query == nullptr || query(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) < 0) {
    return "n/a(no-PEB)";
  }
  // PEB.GdiSharedHandleTable of a 32-bit process.
  constexpr SIZE_T kGdiTableOffset = 0x94;
  UINT_PTR table = 0;
  SIZE_T read = 0;
  if (!ReadProcessMemory(process,
                         static_cast<const char*>(static_cast<const void*>(basic.PebBaseAddress)) + kGdiTableOffset,
                         &table, sizeof(table), &read) ||
      table == 0) {
    return "n/a(no-GDI-table)";
  }
  // Entries are taken in order from the start: stop at a block never used.
  constexpr size_t kEntries = 0x10000;
  constexpr size_t kBlock = 4096;
  std::vector<WineGdiEntry> block(kBlock);
  unsigned long count = 0;
  for (size_t first = 0; first < kEntries; first += kBlock) {
    if (!ReadProcessMemory(process, reinterpret_cast<const void*>(table + first * sizeof(WineGdiEntry)), block.data(),
                           kBlock * sizeof(WineGdiEntry), &read)) {
      char text[64];
      std::snprintf(text, sizeof(text), "n/a(read-error-%lu)", GetLastError());
      return text;
    }
    bool used = false;
    for (const WineGdiEntry& entry : block) {
      if (entry.generation != 0) used = true;
      if (entry.type != 0 && (entry.extTypeAndStock & 0x80) == 0) ++count;
    }
    if (!used) break;
  }
  return std::to_string(count);
}

struct WindowCount {
  DWORD processId;
  unsigned long count;
};

BOOL CALLBACK CountChild(HWND, LPARAM lParam) {
  ++reinterpret_cast<WindowCount*>(lParam)->count;
  return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND hwnd, LPARAM lParam) {
  auto* windows = reinterpret_cast<WindowCount*>(lParam);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == windows->processId) {
    ++windows->count;
    EnumChildWindows(hwnd, CountChild, lParam);  // all descendants
  }
  return TRUE;
}

unsigned long Windows(DWORD id) {
  WindowCount windows = {id, 0};
  EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&windows));
  return windows.count;
}

int PrintCounts(DWORD id) {
  qel::OwnedHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
  if (!process) {
    std::fprintf(stderr, "procstats: cannot open process %lu: error %lu\n", static_cast<unsigned long>(id),
                 GetLastError());
    return 3;
  }
  DWORD handles = 0;
  SetLastError(0);
  BOOL handlesOk = GetProcessHandleCount(process.get(), &handles);
  DWORD handlesError = GetLastError();
  SetLastError(0);
  DWORD gdi = GetGuiResources(process.get(), GR_GDIOBJECTS);
  DWORD gdiError = GetLastError();
  SetLastError(0);
  DWORD user = GetGuiResources(process.get(), GR_USEROBJECTS);
  DWORD userError = GetLastError();
  std::string gdiTable = GdiTableObjects(process.get());
  process.Reset();  // not among the handles listed next
  std::printf("pid=%lu handles=%s gdi=%s user=%s handles_listed=%s gdi_table=%s windows=%lu\n",
              static_cast<unsigned long>(id), Figure(handlesOk, handles, handlesError).c_str(),
              Figure(true, gdi, gdiError).c_str(), Figure(true, user, userError).c_str(), ListedHandles(id).c_str(),
              gdiTable.c_str(), Windows(id));
  return 0;
}

struct CloseTarget {
  DWORD processId;
  int posted;
};

BOOL CALLBACK CloseWindowOf(HWND hwnd, LPARAM lParam) {
  auto* target = reinterpret_cast<CloseTarget*>(lParam);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == target->processId && IsWindowVisible(hwnd) && GetWindow(hwnd, GW_OWNER) == nullptr) {
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
    ++target->posted;
  }
  return TRUE;
}

int Close(DWORD id) {
  const qel::OwnedHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id));
  if (!process) {
    std::fprintf(stderr, "procstats: cannot open process %lu: error %lu\n", static_cast<unsigned long>(id),
                 GetLastError());
    return 3;
  }
  CloseTarget target = {id, 0};
  EnumWindows(CloseWindowOf, reinterpret_cast<LPARAM>(&target));
  if (target.posted == 0) {
    std::fprintf(stderr, "procstats: process %lu has no window to close\n", static_cast<unsigned long>(id));
  }
  int result = 0;
  if (WaitForSingleObject(process.get(), 10000) == WAIT_OBJECT_0) {
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    std::printf("exit=%lu\n", static_cast<unsigned long>(code));
  } else {
    std::fprintf(stderr, "procstats: process %lu did not end within 10 s of WM_CLOSE\n",
                 static_cast<unsigned long>(id));
    result = 4;
  }
  return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  bool close = argc == 3 && lstrcmpW(argv[1], L"--close") == 0;
  if (argc != 2 && !close) {
    std::fprintf(stderr, "usage: procstats.exe [--close] PID|EXE-NAME\n");
    return 2;
  }
  DWORD id = 0;
  if (!FindProcess(argv[argc - 1], &id)) return 1;
  int result = close ? Close(id) : PrintCounts(id);
  std::fflush(stdout);
  return result;
}
