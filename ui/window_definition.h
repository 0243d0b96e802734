#pragma once
// 主窗口 as data: every control's name, kind, page, position, size, initial text and style.
// Both windows (Qt on Linux, Win32 on Windows) are built from this one table; nothing here
// knows a toolkit. Positions are in the window's own pixels at 96 DPI: relative to the main
// window's client area for the tab control and the close button, to the tab control for every
// control on a page.
#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace kelvane::ui {

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

enum class Kind {
  Tabs,        // 选择夹1
  Label,       // plain text, never markup
  AddressBox,  // the IP box: a single-line edit read as a server address
  Edit,        // single-line edit box
  Password,    // single-line edit box showing every character as "*"
  Button,
  CheckList,   // list with check marks that do nothing; selection runs the command
  List,
  Pane,        // multi-line output pane: wraps, vertical scroll bar, no length limit, editable
  About,       // multi-line, read-only, no scroll bar
  CheckBox,    // a check box with its caption, unchecked at start
  Note,        // plain text like a label that scrolls when it needs more room than it has
};

// The controls a front end has to find again after building them.
enum class Id {
  Tabs, CloseButton,
  Label1, AddressBox, Label2, UserBox, Label3, PasswordBox, ConnectButton, StatusLabel,
  Label7, DatabaseList, Label5, TableList, Label6, ColumnList, GenerateButton,
  Label8, CustomTypePane, Label9, ClassModulePane, CopyCustomType, CopyClassModule,
  Label10, SetClassPane, CopySetClass,
  Label11, CSharpEntityPane, CopyCSharpEntity, Label12, CSharpOperationPane, CopyCSharpOperation,
  AboutBox,
  // Beyond the original window: the key warning and the opt-ins for column comments and for
  // the primary key as the texts' record key, on page 1 where they cover nothing of the
  // definition above.
  KeyWarning, CommentsBox, KeyBox,
};
inline constexpr std::size_t kControlCount = static_cast<std::size_t>(Id::KeyBox) + 1;

constexpr int kOnMainWindow = -1;  // page of the tab control and the close button

struct Control {
  Id id;
  std::string_view name;  // the control's name in the window definition (UTF-8)
  Kind kind;
  int page;               // 0-5, or kOnMainWindow
  Rect rect;
  std::string_view text;  // initial text or caption (UTF-8); the About box takes AboutText()
  bool fontF = false;     // font F; otherwise the system's default (message) font
  bool centred = false;   // text centred (user and password boxes)
};

// Font F: "微软雅黑", 16 px character height, weight 400, GB2312 character set.
struct FontSpec {
  std::string_view face;
  int pixelHeight;
  int weight;
};
inline constexpr FontSpec kFontF{"微软雅黑", 16, 400};

struct WindowDefinition {
  std::string_view caption;  // "Kelvane ver 1.0.4"
  Rect outer;                // the outer window rectangle on the screen
  std::array<std::string_view, 6> pageTitles;
  std::span<const Control> controls;  // 选择夹1 and 按钮_关闭 included
};

const WindowDefinition& MainWindowDefinition();

// The entry for one control; every Id has exactly one.
const Control& ControlOf(Id id);

// Which copy button copies which pane, and the page generate-all shows afterwards.
struct CopyBinding {
  Id button;
  Id pane;
};
inline constexpr std::array<CopyBinding, 5> kCopyBindings{{
    {Id::CopyCustomType, Id::CustomTypePane},
    {Id::CopyClassModule, Id::ClassModulePane},
    {Id::CopySetClass, Id::SetClassPane},
    {Id::CopyCSharpEntity, Id::CSharpEntityPane},
    {Id::CopyCSharpOperation, Id::CSharpOperationPane},
}};
constexpr int kTablesPage = 1;     // shown after a successful connect
constexpr int kGeneratedPage = 2;  // shown after generate-all

// The five output panes in the order generate-all fills them.
inline constexpr std::array<Id, 5> kPanesInOrder{Id::CustomTypePane, Id::ClassModulePane,
                                                 Id::SetClassPane, Id::CSharpEntityPane,
                                                 Id::CSharpOperationPane};

// A pane's place in kPanesInOrder; kPanesInOrder.size() for any other control.
constexpr std::size_t PaneIndex(Id control) {
  for (std::size_t i = 0; i < kPanesInOrder.size(); ++i)
    if (kPanesInOrder[i] == control) return i;
  return kPanesInOrder.size();
}

}  // namespace kelvane::ui
