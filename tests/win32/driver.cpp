// Drives kelvane.exe from outside, as a second program under the same Wine: finds the window and
// its controls, reports where they are (for real mouse clicks made with xdotool), reads texts,
// lists and the clipboard. One command per run; exit status 0 when it did what was asked.
//   driver layout DPI             every control of the definition at its place, scaled to DPI
//   driver where NAME             screen centre of the control NAME ("按钮1")
//   driver tab PAGE               screen centre of a tab header
//   driver item NAME TEXT         screen centre of the row TEXT of a list (scrolled into view)
//   driver text NAME | items NAME | page
//   driver set NAME TEXT          WM_SETTEXT (for boxes whose typing is not the point)
//   driver wait-text NAME TEXT S  | wait-page PAGE S | wait-items NAME COUNT S
//   driver responsive S           the window answers a message within S seconds
//   driver stalls S               the longest time (ms) the window went without answering a
//                                 message, probed every 20 ms over S seconds
//   driver clip PREFIX            PREFIX.utf8 (from CF_UNICODETEXT), PREFIX.gbk (CF_TEXT bytes),
//                                 PREFIX.formats (the formats placed, in the clipboard's order)
//   driver click NAME [PAGE]      BM_CLICK and the milliseconds it took (benchmarks); with PAGE,
//                                 until that page shows and the window answers again
//   driver launch CAPTION EXE...  starts EXE, milliseconds until a window CAPTION is visible
//   driver click-in CAPTION ID    BM_CLICK on button ID of the window CAPTION, milliseconds
//   driver command-lines EXE      the command line of each running EXE, read from its memory as
//                                 a process list reads it
#include <windows.h>
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>
#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "kelvane_version.h"
#include "ui/window_definition.h"

namespace {

using namespace kelvane::ui;

std::wstring Wide(std::string_view utf8) {
  std::wstring out(utf8.size() + 1, L'\0');
  out.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                          out.data(), static_cast<int>(out.size()))));
  return out;
}

std::string Utf8(std::wstring_view wide) {
  std::string out(wide.size() * 3 + 1, '\0');
  out.resize(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                                          out.data(), static_cast<int>(out.size()), nullptr, nullptr)));
  return out;
}

int Fail(const std::string& what) {
  std::fprintf(stderr, "driver: %s\n", what.c_str());
  return 1;
}

void Out(const std::string& line) { std::fwrite(line.data(), 1, line.size(), stdout); std::fputc('\n', stdout); }

HWND g_main = nullptr;

bool FindMain(double seconds, const std::wstring& caption) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  do {
    g_main = FindWindowW(nullptr, caption.c_str());
    if (g_main && IsWindowVisible(g_main)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  } while (std::chrono::steady_clock::now() < until);
  return false;
}

const Control* ByName(const std::wstring& name) {
  for (const Control& c : MainWindowDefinition().controls)
    if (Wide(c.name) == name) return &c;
  return nullptr;
}

HWND Hwnd(Id id) { return GetDlgItem(g_main, 1000 + static_cast<int>(id)); }

std::wstring TextOf(HWND hwnd) {
  const auto length = SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(SendMessageW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
  return text;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

bool IsListView(HWND hwnd) { return lstrcmpiW(ClassOf(hwnd).c_str(), WC_LISTVIEWW) == 0; }

// A buffer in the window's process, for the messages the system does not carry across.
class Remote {
 public:
  explicit Remote(HWND hwnd, std::size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    memory_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  }
  ~Remote() {
    VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
    CloseHandle(process_);
  }
  void* at(std::size_t offset = 0) const { return static_cast<char*>(memory_) + offset; }
  void Write(const void* data, std::size_t size, std::size_t offset = 0) const {
    WriteProcessMemory(process_, at(offset), data, size, nullptr);
  }
  void Read(void* data, std::size_t size, std::size_t offset = 0) const {
    ReadProcessMemory(process_, at(offset), data, size, nullptr);
  }

 private:
  std::size_t size_;
  HANDLE process_;
  void* memory_;
};

std::vector<std::wstring> Rows(HWND list) {
  std::vector<std::wstring> rows;
  if (IsListView(list)) {
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    Remote remote(list, sizeof(LVITEMW) + 1024 * sizeof(wchar_t));
    for (int i = 0; i < count; ++i) {
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = i;
      item.pszText = static_cast<wchar_t*>(remote.at(sizeof(LVITEMW)));
      item.cchTextMax = 1024;
      remote.Write(&item, sizeof item);
      const auto length = SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(remote.at()));
      std::wstring text(static_cast<std::size_t>(length), L'\0');
      remote.Read(text.data(), text.size() * sizeof(wchar_t), sizeof(LVITEMW));
      rows.push_back(text);
    }
  } else {
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      // The window may empty or refill the list between two of these calls: a row gone ends the
      // reading, and the buffer has room for a row grown meanwhile.
      const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, i, 0);
      if (length == LB_ERR) break;
      std::wstring text(static_cast<std::size_t>(length) + 1024, L'\0');
      const LRESULT got = SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
      if (got == LB_ERR) break;
      text.resize(static_cast<std::size_t>(got));
      rows.push_back(text);
    }
  }
  return rows;
}

void PrintCentre(HWND hwnd, RECT r) {
  POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  ClientToScreen(hwnd, &centre);
  Out(std::to_string(centre.x) + " " + std::to_string(centre.y));
}

RECT RemoteRect(HWND hwnd, UINT message, WPARAM index, LONG left = 0) {
  Remote remote(hwnd, sizeof(RECT));
  RECT r{left, 0, 0, 0};
  remote.Write(&r, sizeof r);
  SendMessageW(hwnd, message, index, reinterpret_cast<LPARAM>(remote.at()));
  remote.Read(&r, sizeof r);
  return r;
}

int Layout(int dpi) {
  auto scale = [dpi](int v) { return MulDiv(v, dpi, 96); };
  auto within1 = [](long a, long b) { return std::labs(a - b) <= 1; };
  int failures = 0;
  auto check = [&](bool ok, const std::string& what) {
    if (!ok) { ++failures; Fail(what); }
  };
  const WindowDefinition& definition = MainWindowDefinition();
  RECT outer;
  GetWindowRect(g_main, &outer);
  // The window's figures, written out here rather than read from the definition.
  check(within1(outer.right - outer.left, scale(800)) && within1(outer.bottom - outer.top, scale(500)),
        "outer size " + std::to_string(outer.right - outer.left) + "x" + std::to_string(outer.bottom - outer.top));
  check(within1(outer.left, scale(50)) && within1(outer.top, scale(50)), "outer position");
  const LONG style = GetWindowLongW(g_main, GWL_STYLE);
  check(!(style & WS_THICKFRAME) && !(style & WS_MAXIMIZEBOX), "the border is not fixed");
  HWND tabs = Hwnd(Id::Tabs);
  check(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0) == 6, "six pages");
  check(SendMessageW(tabs, TCM_GETCURSEL, 0, 0) == 0, "page 0 current");
  RECT tabRect, client;
  GetWindowRect(tabs, &tabRect);
  GetClientRect(g_main, &client);
  POINT origin{0, 0};
  ClientToScreen(g_main, &origin);
  for (const Control& c : definition.controls) {
    HWND hwnd = Hwnd(c.id);
    const std::string name(c.name);
    if (!hwnd) { check(false, name + " missing"); continue; }
    RECT r;
    GetWindowRect(hwnd, &r);
    const POINT base = c.page == kOnMainWindow ? origin : POINT{tabRect.left, tabRect.top};
    check(within1(r.left - base.x, scale(c.rect.left)) && within1(r.top - base.y, scale(c.rect.top)) &&
              within1(r.right - r.left, scale(c.rect.width)) && within1(r.bottom - r.top, scale(c.rect.height)),
          name + " at " + std::to_string(r.left - base.x) + "," + std::to_string(r.top - base.y) + " " +
              std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top));
    check(GetParent(hwnd) == g_main, name + " not on the main window");
    check((IsWindowVisible(hwnd) != 0) == (c.page == kOnMainWindow || c.page == 0), name + " visibility");
    const LONG s = GetWindowLongW(hwnd, GWL_STYLE);
    const std::wstring cls = ClassOf(hwnd);
    switch (c.kind) {
      case Kind::Label: check(cls == L"Static" && (s & SS_NOPREFIX), name + " not a plain label"); break;
      case Kind::Button: check(cls == L"Button" && (s & 0xF) == BS_PUSHBUTTON, name + " not a button"); break;
      case Kind::CheckBox: check(cls == L"Button" && (s & 0xF) == BS_AUTOCHECKBOX, name + " not a check box"); break;
      case Kind::Password:
        check(cls == L"Edit" && (s & ES_PASSWORD) && SendMessageW(hwnd, EM_GETPASSWORDCHAR, 0, 0) == L'*', name + " not masked with *");
        break;
      case Kind::Pane:
        check(cls == L"Edit" && (s & ES_MULTILINE) && (s & WS_VSCROLL) && !(s & ES_AUTOHSCROLL) && !(s & ES_READONLY) &&
                  (s & ES_WANTRETURN) && SendMessageW(hwnd, EM_GETLIMITTEXT, 0, 0) >= 0x7FFFFFFE,
              name + " not a wrapping, unlimited, editable pane");
        break;
      case Kind::About:
        check(cls == L"Edit" && (s & ES_MULTILINE) && (s & ES_READONLY) && !(s & WS_VSCROLL), name + " about box");
        break;
      case Kind::Note:
        check(cls == L"Edit" && (s & ES_MULTILINE) && (s & ES_READONLY) && !(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE),
              name + " not a borderless read-only note");
        break;
      case Kind::CheckList: check(IsListView(hwnd), name + " not a check list"); break;
      case Kind::List: check(cls == L"ListBox", name + " not a list box"); break;
      default: break;
    }
    if (c.kind == Kind::Edit || c.kind == Kind::Password) check(s & ES_CENTER, name + " not centred");
    if (c.kind == Kind::Label || c.kind == Kind::Button || c.kind == Kind::CheckBox || c.kind == Kind::Edit)
      check(Utf8(TextOf(hwnd)) == c.text, name + " text");
  }
  // A few places written out as figures, so a shifted definition shows too.
  RECT connect;
  GetWindowRect(Hwnd(Id::ConnectButton), &connect);
  check(within1(connect.left - tabRect.left, scale(440)) && within1(connect.right - connect.left, scale(143)), "按钮1 figures");
  check(within1(tabRect.left - origin.x, scale(9)) && within1(tabRect.right - tabRect.left, scale(776)), "选择夹1 figures");
  check(Utf8(TextOf(Hwnd(Id::StatusLabel))).empty() && Utf8(TextOf(Hwnd(Id::KeyWarning))).empty(), "labels start empty");
  return failures ? 1 : 0;
}

bool WaitFor(double seconds, auto condition) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

bool WriteFile(const std::wstring& path, const std::string& bytes) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (!file) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

int Clip(const std::wstring& prefix) {
  if (!WaitFor(5, [] { return OpenClipboard(nullptr) != 0; })) return Fail("clipboard busy");
  std::string formats, unicode, gbk;
  for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f)) formats += std::to_string(f) + "\n";
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    const auto* text = static_cast<const wchar_t*>(GlobalLock(h));
    const std::size_t units = GlobalSize(h) / sizeof(wchar_t);
    std::size_t length = 0;
    while (length < units && text[length]) ++length;
    if (length == units) formats += "unicode-unterminated\n";
    unicode = Utf8({text, length});
    GlobalUnlock(h);
  }
  if (HANDLE h = GetClipboardData(CF_TEXT)) {
    const auto* text = static_cast<const char*>(GlobalLock(h));
    const std::size_t size = GlobalSize(h);
    std::size_t length = 0;
    while (length < size && text[length]) ++length;
    if (length == size) formats += "text-unterminated\n";
    gbk.assign(text, length);
    GlobalUnlock(h);
  }
  if (HANDLE h = GetClipboardData(CF_LOCALE)) {
    formats += "locale " + std::to_string(*static_cast<const LCID*>(GlobalLock(h))) + "\n";
    GlobalUnlock(h);
  }
  CloseClipboard();
  return WriteFile(prefix + L".utf8", unicode) && WriteFile(prefix + L".gbk", gbk) &&
                 WriteFile(prefix + L".formats", formats)
             ? 0
             : Fail("cannot write the clipboard files");
}

// The command line in the process parameters of each running program named `exe`.
int CommandLines(const std::wstring& exe) {
  using Query = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  DWORD ids[4096], bytes = 0;
  if (!query || !K32EnumProcesses(ids, sizeof ids, &bytes)) return Fail("cannot list the processes");
  for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i]);
    if (process == nullptr) continue;
    wchar_t name[MAX_PATH] = L"";
    PROCESS_BASIC_INFORMATION basic{};
    PEB peb{};
    RTL_USER_PROCESS_PARAMETERS parameters{};
    if (K32GetModuleBaseNameW(process, nullptr, name, MAX_PATH) && exe == name &&
        query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) >= 0 &&
        ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, nullptr) &&
        ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof parameters, nullptr)) {
      std::wstring line(parameters.CommandLine.Length / sizeof(wchar_t), L'\0');
      if (ReadProcessMemory(process, parameters.CommandLine.Buffer, line.data(), parameters.CommandLine.Length, nullptr))
        Out(Utf8(line));
    }
    CloseHandle(process);
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // lines end LF, as the script reads them
  if (argc < 2) return Fail("no command");
  const std::wstring command = argv[1];
  auto arg = [&](int i) { return i < argc ? std::wstring(argv[i]) : std::wstring(); };
  if (command == L"launch") {
    std::wstring line;
    for (int i = 3; i < argc; ++i) line += (i > 3 ? L" \"" : L"\"") + arg(i) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const auto start = std::chrono::steady_clock::now();
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return Fail("cannot start the program");
    if (!FindMain(30, arg(2))) return Fail("no window");
    Out(std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count() / 1000.0));
    PostMessageW(g_main, WM_CLOSE, 0, 0);
    WaitForSingleObject(process.hProcess, 10000);
    return 0;
  }
  if (command == L"command-lines") return CommandLines(arg(2));
  if (command == L"click-in") {  // click-in CAPTION CONTROL-ID: a button of another window
    if (!FindMain(30, arg(2))) return Fail("no window");
    const auto start = std::chrono::steady_clock::now();
    SendMessageW(GetDlgItem(g_main, _wtoi(arg(3).c_str())), BM_CLICK, 0, 0);
    DWORD_PTR result;
    SendMessageTimeoutW(g_main, WM_NULL, 0, 0, SMTO_BLOCK, 60000, &result);
    Out(std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count() / 1000.0));
    return 0;
  }
  if (!FindMain(30, Wide("Kelvane ver " KELVANE_VERSION))) return Fail("no window");
  if (command == L"layout") return Layout(_wtoi(arg(2).c_str()));
  if (command == L"page") { Out(std::to_string(SendMessageW(Hwnd(Id::Tabs), TCM_GETCURSEL, 0, 0))); return 0; }
  if (command == L"responsive") {
    DWORD_PTR result;
    return SendMessageTimeoutW(g_main, WM_NULL, 0, 0, SMTO_BLOCK, static_cast<UINT>(_wtof(arg(2).c_str()) * 1000), &result)
               ? 0 : Fail("the window does not answer");
  }
  if (command == L"stalls") {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::duration<double>(_wtof(arg(2).c_str()));
    auto answered = Clock::now();
    Clock::duration longest{};
    while (Clock::now() < end) {
      DWORD_PTR result;
      if (SendMessageTimeoutW(g_main, WM_NULL, 0, 0, SMTO_NORMAL, 100, &result)) {
        const auto now = Clock::now();
        longest = std::max(longest, now - answered);
        answered = now;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    longest = std::max(longest, Clock::now() - answered);
    Out(std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(longest).count()));
    return 0;
  }
  if (command == L"wait-page") {
    const LRESULT page = _wtoi(arg(2).c_str());
    return WaitFor(_wtof(arg(3).c_str()), [&] { return SendMessageW(Hwnd(Id::Tabs), TCM_GETCURSEL, 0, 0) == page; })
               ? 0 : Fail("page " + std::to_string(SendMessageW(Hwnd(Id::Tabs), TCM_GETCURSEL, 0, 0)));
  }
  if (command == L"clip") return Clip(arg(2));
  if (command == L"tab") {
    HWND tabs = Hwnd(Id::Tabs);
    PrintCentre(tabs, RemoteRect(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(_wtoi(arg(2).c_str()))));
    return 0;
  }
  const Control* control = ByName(arg(2));
  if (!control) return Fail("no control " + Utf8(arg(2)));
  HWND hwnd = Hwnd(control->id);
  if (command == L"where") {
    RECT r;
    GetClientRect(hwnd, &r);
    PrintCentre(hwnd, r);
    return 0;
  }
  if (command == L"text") { Out(Utf8(TextOf(hwnd))); return 0; }
  if (command == L"items") {
    for (const std::wstring& row : Rows(hwnd)) Out(Utf8(row));
    return 0;
  }
  if (command == L"set") {
    SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(arg(3).c_str()));
    return 0;
  }
  if (command == L"wait-text") {
    return WaitFor(_wtof(arg(4).c_str()), [&] { return TextOf(hwnd) == arg(3); }) ? 0 : Fail("text is " + Utf8(TextOf(hwnd)));
  }
  if (command == L"wait-items") {
    const std::size_t count = static_cast<std::size_t>(_wtoi(arg(3).c_str()));
    return WaitFor(_wtof(arg(4).c_str()), [&] { return Rows(hwnd).size() == count; })
               ? 0 : Fail(std::to_string(Rows(hwnd).size()) + " rows");
  }
  if (command == L"item") {
    const std::vector<std::wstring> rows = Rows(hwnd);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i] != arg(3)) continue;
      const auto row = static_cast<WPARAM>(i);
      if (IsListView(hwnd)) {
        SendMessageW(hwnd, LVM_ENSUREVISIBLE, row, FALSE);
        PrintCentre(hwnd, RemoteRect(hwnd, LVM_GETITEMRECT, row, LVIR_LABEL));
      } else {
        SendMessageW(hwnd, LB_SETTOPINDEX, row, 0);
        RECT r{};
        SendMessageW(hwnd, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
        PrintCentre(hwnd, r);
      }
      return 0;
    }
    return Fail("no row " + Utf8(arg(3)));
  }
  if (command == L"click") {
    const auto start = std::chrono::steady_clock::now();
    SendMessageW(hwnd, BM_CLICK, 0, 0);
    if (!arg(3).empty()) {
      const LRESULT page = _wtoi(arg(3).c_str());
      if (!WaitFor(60, [&] { return SendMessageW(Hwnd(Id::Tabs), TCM_GETCURSEL, 0, 0) == page; }))
        return Fail("page " + Utf8(arg(3)) + " did not show");
    }
    DWORD_PTR result;
    SendMessageTimeoutW(g_main, WM_NULL, 0, 0, SMTO_BLOCK, 60000, &result);
    Out(std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count() / 1000.0));
    return 0;
  }
  return Fail("unknown command");
}
