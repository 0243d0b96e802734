// The Windows window: plain Win32 and common controls, built from the shared window definition.
// It forwards the controls' events to the window core and draws what the core tells it; the
// core's worker thread hands results back as posted messages. UTF-8 inside; UTF-16 only where a
// Win32 call takes text.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "text/text.h"
#include "ui/about_text.h"
#include "ui/server_address.h"
#include "ui/window_core.h"
#include "ui/window_definition.h"

namespace kelvane::win32 {
namespace {

using ui::Id;
using ui::Kind;

constexpr int kControlIdBase = 1000;  // a control's id is kControlIdBase + its Id
constexpr int kCount = static_cast<int>(ui::kControlCount);
constexpr LCID kChinesePrc = MAKELCID(MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), SORT_DEFAULT);
constexpr UINT kGbk = 936;
constexpr UINT kTaskMessage = WM_APP + 1;  // lParam: a std::function<void()> from Post

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

std::wstring TextOf(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

// The per-monitor DPI functions exist from Windows 10 1607 on; Windows 7 gets the system DPI.
struct DpiFunctions {
  UINT(WINAPI* forWindow)(HWND) = nullptr;
  BOOL(WINAPI* metricsForDpi)(UINT, UINT, PVOID, UINT, UINT) = nullptr;
  DpiFunctions() {
    if (HMODULE user = GetModuleHandleW(L"user32.dll")) {
      forWindow = reinterpret_cast<decltype(forWindow)>(
          reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow")));
      metricsForDpi = reinterpret_cast<decltype(metricsForDpi)>(
          reinterpret_cast<void*>(GetProcAddress(user, "SystemParametersInfoForDpi")));
    }
  }
};

UINT SystemDpi() {
  HDC screen = GetDC(nullptr);
  const UINT dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
  ReleaseDC(nullptr, screen);
  return dpi ? dpi : 96;
}

class MainWindow : private ui::WindowView {
 public:
  explicit MainWindow(HINSTANCE instance) : instance_(instance), core_(*this) {}
  ~MainWindow() override;
  bool Create();
  HWND hwnd() const { return main_; }
  ui::WindowCore& core() { return core_; }
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);

 private:
  // ui::WindowView
  void SetText(Id control, const std::string& text) override;
  void SetItems(Id list, const std::vector<std::string>& items) override;
  void SelectRow(Id list, int row) override;
  void ShowPage(int page) override;
  void SetBusy(bool busy) override;
  void Post(std::function<void()> task) override;

  HWND Of(Id id) const { return controls_[static_cast<int>(id)]; }
  int Scale(int v) const { return MulDiv(v, static_cast<int>(dpi_), 96); }
  void MakeFonts();
  void Layout();
  void ShowPageControls(int page);
  int Selected(Id id) const;
  ui::ServerInput Input() const;
  ui::TextChoices Choices() const;
  void Copy(Id pane);
  void AddressChanged();
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

  HINSTANCE instance_;
  HWND main_ = nullptr;
  HWND controls_[kCount] = {};
  DpiFunctions dpiFunctions_;
  UINT dpi_ = 96;
  HFONT fontF_ = nullptr;
  HFONT messageFont_ = nullptr;
  bool filling_ = false;      // lists being refilled: their selection runs no command
  bool addressBusy_ = false;  // the IP box is being set back after a refused keystroke
  bool busy_ = false;         // a command waits on the server: the wait cursor
  std::wstring lastAddress_;
  ui::WindowCore core_;  // last: gone before the rest
};

MainWindow::~MainWindow() {
  // The controls that used them are gone with the window.
  if (fontF_) DeleteObject(fontF_);
  if (messageFont_) DeleteObject(messageFont_);
}

bool MainWindow::Create() {
  const ui::WindowDefinition& definition = ui::MainWindowDefinition();
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = Proc;
  windowClass.hInstance = instance_;
  windowClass.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(1));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = L"KelvaneMainWindow";
  if (!RegisterClassExW(&windowClass)) return false;
  dpi_ = SystemDpi();
  main_ = CreateWindowExW(0, windowClass.lpszClassName, Wide(definition.caption).c_str(),
                          WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                          Scale(definition.outer.left), Scale(definition.outer.top),
                          Scale(definition.outer.width), Scale(definition.outer.height), nullptr,
                          nullptr, instance_, this);
  if (!main_) return false;
  if (dpiFunctions_.forWindow) dpi_ = dpiFunctions_.forWindow(main_);

  for (const ui::Control& c : definition.controls) {
    const wchar_t* windowClassName = WC_STATICW;
    DWORD style = WS_CHILD | WS_TABSTOP, exStyle = 0;
    switch (c.kind) {
      case Kind::Tabs: windowClassName = WC_TABCONTROLW; style |= WS_CLIPSIBLINGS; break;
      case Kind::Label: style = WS_CHILD | SS_LEFT | SS_NOPREFIX; break;
      case Kind::AddressBox: windowClassName = WC_EDITW; style |= ES_AUTOHSCROLL; exStyle = WS_EX_CLIENTEDGE; break;
      case Kind::Edit: windowClassName = WC_EDITW; style |= ES_AUTOHSCROLL | ES_CENTER; exStyle = WS_EX_CLIENTEDGE; break;
      case Kind::Password:
        windowClassName = WC_EDITW;
        style |= ES_AUTOHSCROLL | ES_CENTER | ES_PASSWORD;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case Kind::Button: windowClassName = WC_BUTTONW; style |= BS_PUSHBUTTON | BS_MULTILINE; break;
      case Kind::CheckBox: windowClassName = WC_BUTTONW; style |= BS_AUTOCHECKBOX; break;
      case Kind::CheckList:
        windowClassName = WC_LISTVIEWW;
        style |= LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case Kind::List:
        windowClassName = WC_LISTBOXW;
        style |= WS_VSCROLL | LBS_NOINTEGRALHEIGHT | (c.id == Id::TableList ? LBS_NOTIFY : 0);
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case Kind::Pane:
        windowClassName = WC_EDITW;
        style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case Kind::About: windowClassName = WC_EDITW; style |= ES_MULTILINE | ES_READONLY; exStyle = WS_EX_CLIENTEDGE; break;
      case Kind::Note:  // a read-only edit without a border: a label that scrolls
        windowClassName = WC_EDITW;
        style = WS_CHILD | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL;
        break;
    }
    const std::string& text = c.kind == Kind::About ? AboutText() : std::string(c.text);
    HWND hwnd = CreateWindowExW(exStyle, windowClassName, Wide(text).c_str(), style, 0, 0, 0, 0, main_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kControlIdBase + static_cast<int>(c.id))),
                                instance_, nullptr);
    if (!hwnd) return false;
    controls_[static_cast<int>(c.id)] = hwnd;
    if (c.kind == Kind::Pane) SendMessageW(hwnd, EM_SETLIMITTEXT, 0, 0);
    if (c.kind == Kind::Password) SendMessageW(hwnd, EM_SETPASSWORDCHAR, L'*', 0);
    if (c.kind == Kind::Note) ShowScrollBar(hwnd, SB_VERT, FALSE);
    if (c.kind == Kind::CheckList) {
      ListView_SetExtendedListViewStyle(hwnd, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
      LVCOLUMNW column{};
      column.mask = LVCF_WIDTH;
      ListView_InsertColumn(hwnd, 0, &column);
    }
    if (c.page == ui::kOnMainWindow) ShowWindow(hwnd, SW_SHOW);
  }
  HWND tabs = Of(Id::Tabs);
  for (int i = 0; i < 6; ++i) {
    std::wstring title = Wide(definition.pageTitles[static_cast<std::size_t>(i)]);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = title.data();
    TabCtrl_InsertItem(tabs, i, &item);
  }
  // The tab control lies below the page's controls, which sit beside it on the main window.
  SetWindowPos(tabs, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  lastAddress_ = TextOf(Of(Id::AddressBox));
  MakeFonts();
  ShowPageControls(0);
  return true;
}

// Makes the fonts for the current DPI and hands them to every control; the previous ones are
// deleted only once no control holds them any more.
void MainWindow::MakeFonts() {
  HFONT oldFontF = fontF_, oldMessageFont = messageFont_;
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!dpiFunctions_.metricsForDpi ||
      !dpiFunctions_.metricsForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi_)) {
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi_),
                                            static_cast<int>(SystemDpi()));
  }
  messageFont_ = CreateFontIndirectW(&metrics.lfMessageFont);
  // Font F by its Chinese name; where the system has no such face, its CJK UI font.
  const std::wstring face = Wide(ui::kFontF.face);
  auto make = [&](const wchar_t* name) {
    return CreateFontW(-Scale(ui::kFontF.pixelHeight), 0, 0, 0, ui::kFontF.weight, FALSE, FALSE, FALSE,
                       GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, name);
  };
  fontF_ = make(face.c_str());
  HDC dc = GetDC(main_);
  HGDIOBJ old = SelectObject(dc, fontF_);
  wchar_t got[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, got);
  SelectObject(dc, old);
  ReleaseDC(main_, dc);
  if (face != got && lstrcmpiW(got, L"Microsoft YaHei") != 0) {
    DeleteObject(fontF_);
    fontF_ = make(L"SimSun");
  }
  Layout();
  if (oldFontF) DeleteObject(oldFontF);
  if (oldMessageFont) DeleteObject(oldMessageFont);
}

void MainWindow::Layout() {
  const ui::WindowDefinition& definition = ui::MainWindowDefinition();
  const ui::Rect& tabs = ui::ControlOf(Id::Tabs).rect;
  for (const ui::Control& c : definition.controls) {
    int left = Scale(c.rect.left), top = Scale(c.rect.top);
    if (c.page != ui::kOnMainWindow) {
      left += Scale(tabs.left);
      top += Scale(tabs.top);
    }
    HWND hwnd = Of(c.id);
    SetWindowPos(hwnd, nullptr, left, top, Scale(c.rect.width), Scale(c.rect.height),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(c.fontF ? fontF_ : messageFont_), TRUE);
    if (c.kind == Kind::CheckList) {
      RECT client;
      GetClientRect(hwnd, &client);
      ListView_SetColumnWidth(hwnd, 0, client.right - GetSystemMetrics(SM_CXVSCROLL));
    }
  }
}

void MainWindow::ShowPageControls(int page) {
  if (TabCtrl_GetCurSel(Of(Id::Tabs)) != page) TabCtrl_SetCurSel(Of(Id::Tabs), page);
  for (const ui::Control& c : ui::MainWindowDefinition().controls)
    if (c.page != ui::kOnMainWindow) ShowWindow(Of(c.id), c.page == page ? SW_SHOW : SW_HIDE);
}

void MainWindow::SetItems(Id id, const std::vector<std::string>& names) {
  filling_ = true;
  HWND list = Of(id);
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  if (id == Id::DatabaseList) {
    ListView_DeleteAllItems(list);
    for (std::size_t row = 0; row < names.size(); ++row) {
      std::wstring label = Wide(names[row]);
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(row);
      item.pszText = label.data();
      ListView_InsertItem(list, &item);
    }
  } else {
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const std::string& name : names)
      SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(name).c_str()));
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  filling_ = false;
}

int MainWindow::Selected(Id id) const {
  if (id == Id::DatabaseList) return ListView_GetNextItem(Of(id), -1, LVNI_SELECTED);
  return static_cast<int>(SendMessageW(Of(id), LB_GETCURSEL, 0, 0));
}

ui::ServerInput MainWindow::Input() const {
  return ui::ServerInput{Utf8(TextOf(Of(Id::AddressBox))), Utf8(TextOf(Of(Id::UserBox))),
                         Utf8(TextOf(Of(Id::PasswordBox)))};
}

ui::TextChoices MainWindow::Choices() const {
  const auto checked = [this](Id box) { return SendMessageW(Of(box), BM_GETCHECK, 0, 0) == BST_CHECKED; };
  return ui::TextChoices{checked(Id::CommentsBox), checked(Id::KeyBox)};
}

void MainWindow::SetText(Id control, const std::string& text) {
  if (ui::ControlOf(control).kind == Kind::Note) {
    // An edit breaks lines at CR LF only; its scroll bar shows only when the text needs it.
    HWND note = Of(control);
    SetWindowTextW(note, Wide(ToCrlf(text)).c_str());
    const auto lines = SendMessageW(note, EM_GETLINECOUNT, 0, 0);
    TEXTMETRICW metrics{};
    HDC dc = GetDC(note);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(note, WM_GETFONT, 0, 0)));
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(note, dc);
    RECT client;
    GetClientRect(note, &client);
    const LONG lineHeight = metrics.tmHeight > 0 ? metrics.tmHeight : 1;
    ShowScrollBar(note, SB_VERT, !text.empty() && lines * lineHeight > client.bottom - client.top);
    return;
  }
  // A pane gets its text while its page is still hidden: the edit control wraps it without
  // drawing anything.
  SetWindowTextW(Of(control), Wide(text).c_str());
  if (ui::ControlOf(control).kind == Kind::Pane)
    SendMessageW(Of(control), EM_SETMODIFY, FALSE, 0);  // the window's own text, not the user's
}


void MainWindow::SelectRow(Id id, int row) {
  filling_ = true;
  if (id == Id::DatabaseList) {
    ListView_SetItemState(Of(id), -1, 0, LVIS_SELECTED);
    if (row >= 0) ListView_SetItemState(Of(id), row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  } else {
    SendMessageW(Of(id), LB_SETCURSEL, static_cast<WPARAM>(row), 0);
  }
  filling_ = false;
}

// The core's page: the panes of that page get their texts before they are shown.
void MainWindow::ShowPage(int page) { ShowPageControls(page); }

void MainWindow::SetBusy(bool busy) {
  busy_ = busy;
  // Where the pointer is now; WM_SETCURSOR keeps it so while busy.
  POINT at;
  HWND under = GetCursorPos(&at) ? WindowFromPoint(at) : nullptr;
  if (under && GetAncestor(under, GA_ROOT) == main_)
    SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void MainWindow::Post(std::function<void()> task) {
  auto* posted = new std::function<void()>(std::move(task));
  if (!PostMessageW(main_, kTaskMessage, 0, reinterpret_cast<LPARAM>(posted))) delete posted;
}

// A block of movable memory holding `size` bytes of `data`; null when it cannot be had.
HGLOBAL GlobalCopy(const void* data, std::size_t size) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!memory) return nullptr;
  void* at = GlobalLock(memory);
  if (!at) {
    GlobalFree(memory);
    return nullptr;
  }
  memcpy(at, data, size);
  GlobalUnlock(memory);
  return memory;
}

void Place(UINT format, const void* data, std::size_t size) {
  if (HGLOBAL memory = GlobalCopy(data, size); memory && !SetClipboardData(format, memory))
    GlobalFree(memory);
}

// The pane as it stands, CR LF line ends, as UTF-16 and (when GBK holds every character) as
// GBK, for Chinese (PRC). A clipboard another program holds loses the copy.
void MainWindow::Copy(Id pane) {
  if (core_.busy()) return;  // no second command while one runs
  // The edit control marks what the user typed, pasted or cut (never what the window set).
  if (SendMessageW(Of(pane), EM_GETMODIFY, 0, 0)) core_.PaneChanged(pane);
  const std::string* untouched = core_.UntouchedPaneText(pane);
  const std::wstring text = Wide(untouched ? *untouched : ToCrlf(Utf8(TextOf(Of(pane)))));
  if (!OpenClipboard(main_)) return;
  EmptyClipboard();
  Place(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  BOOL lossy = FALSE;
  const int length = static_cast<int>(text.size()) + 1;
  const int size = WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, text.c_str(), length, nullptr, 0,
                                       nullptr, &lossy);
  if (size > 0 && !lossy) {
    std::string gbk(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, text.c_str(), length, gbk.data(), size, nullptr, &lossy);
    if (!lossy) Place(CF_TEXT, gbk.data(), gbk.size());
  }
  const LCID locale = kChinesePrc;
  Place(CF_LOCALE, &locale, sizeof locale);
  CloseClipboard();
}

// A keystroke that leaves no way to an address is taken back; what may still become one
// shows red (see WM_CTLCOLOREDIT).
void MainWindow::AddressChanged() {
  if (addressBusy_) return;
  HWND box = Of(Id::AddressBox);
  const std::wstring text = TextOf(box);
  if (ui::CheckAddress(Utf8(text)) == ui::AddressState::Invalid) {
    addressBusy_ = true;
    DWORD caret = 0;
    SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&caret), 0);
    SetWindowTextW(box, lastAddress_.c_str());
    const DWORD back = caret > 0 ? caret - 1 : 0;
    SendMessageW(box, EM_SETSEL, back, back);
    addressBusy_ = false;
    MessageBeep(MB_OK);
  } else {
    lastAddress_ = text;
  }
  InvalidateRect(box, nullptr, TRUE);
}

LRESULT CALLBACK MainWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->main_ = hwnd;
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self || !self->controls_[0]) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->Handle(message, wParam, lParam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const Id id = static_cast<Id>(LOWORD(wParam) - kControlIdBase);
      const UINT code = HIWORD(wParam);
      if (id == Id::AddressBox && code == EN_CHANGE) AddressChanged();
      if (id == Id::TableList && code == LBN_SELCHANGE && !filling_)
        core_.TableSelected(Selected(Id::TableList), Choices());
      if (code != BN_CLICKED) break;
      if (id == Id::ConnectButton) core_.ConnectClicked(Input());
      if (id == Id::GenerateButton)
        core_.GenerateClicked(Choices());
      if (id == Id::CloseButton) DestroyWindow(main_);
      for (const ui::CopyBinding& binding : ui::kCopyBindings)
        if (binding.button == id) Copy(binding.pane);
      return 0;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom == Of(Id::Tabs) && header->code == TCN_SELCHANGE) {
        const int page = TabCtrl_GetCurSel(Of(Id::Tabs));
        core_.PageShown(page);  // a pane gets its text while it is still hidden
        ShowPageControls(page);
      }
      if (header->hwndFrom == Of(Id::DatabaseList) && header->code == LVN_ITEMCHANGED && !filling_) {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
        if ((change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED) &&
            !(change->uOldState & LVIS_SELECTED))
          core_.DatabaseSelected(change->iItem, Input());
      }
      return 0;
    }
    case WM_CTLCOLOREDIT:
      if (reinterpret_cast<HWND>(lParam) == Of(Id::AddressBox)) {
        const bool usable = ui::CheckAddress(Utf8(TextOf(Of(Id::AddressBox)))) == ui::AddressState::Acceptable;
        SetTextColor(reinterpret_cast<HDC>(wParam), usable ? GetSysColor(COLOR_WINDOWTEXT) : RGB(255, 0, 0));
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      break;
    case WM_CTLCOLORSTATIC:  // labels and the check box sit on the tab control's white page
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wParam);
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      const ui::Rect& outer = ui::MainWindowDefinition().outer;
      SetWindowPos(main_, nullptr, suggested->left, suggested->top, Scale(outer.width), Scale(outer.height),
                   SWP_NOZORDER | SWP_NOACTIVATE);
      MakeFonts();
      return 0;
    }
    case WM_SETCURSOR:
      if (busy_) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case kTaskMessage: {
      const std::unique_ptr<std::function<void()>> task(reinterpret_cast<std::function<void()>*>(lParam));
      (*task)();
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(main_, message, wParam, lParam);
}

}  // namespace
}  // namespace kelvane::win32

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES;
  InitCommonControlsEx(&controls);
  kelvane::win32::MainWindow window(instance);
  if (!window.Create()) return 1;
  ShowWindow(window.hwnd(), show);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window.hwnd(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  // Closed while a command waits on the server: end now, without waiting for it.
  window.core().EndIfBusy(static_cast<int>(message.wParam));
  return static_cast<int>(message.wParam);
}
