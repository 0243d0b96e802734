#include "ui/window_definition.h"

#include <cstdlib>

#include "kelvane_version.h"

namespace kelvane::ui {

namespace {

constexpr Control kControls[] = {
    {Id::Tabs, "选择夹1", Kind::Tabs, kOnMainWindow, {9, 8, 776, 416}, ""},
    {Id::CloseButton, "按钮_关闭", Kind::Button, kOnMainWindow, {685, 431, 80, 32}, "关闭"},
    // Page 0: connect.
    {Id::Label1, "标签1", Kind::Label, 0, {74, 121, 48, 32}, "ip地址"},
    {Id::AddressBox, "IP编辑框_ip地址", Kind::AddressBox, 0, {146, 121, 150, 32}, "127.0.0.1", true},
    {Id::Label2, "标签2", Kind::Label, 0, {74, 177, 48, 32}, "用户"},
    {Id::UserBox, "编辑框_用户", Kind::Edit, 0, {146, 177, 150, 32}, "root", true, true},
    {Id::Label3, "标签3", Kind::Label, 0, {74, 233, 48, 40}, "密码"},
    {Id::PasswordBox, "编辑框_密码", Kind::Password, 0, {146, 233, 150, 32}, "271828", true, true},
    {Id::ConnectButton, "按钮1", Kind::Button, 0, {440, 168, 143, 88}, "第一步：连接数据库"},
    {Id::StatusLabel, "标签4", Kind::Label, 0, {104, 347, 496, 40}, ""},
    // Page 1: choose a database and a table, generate.
    {Id::Label7, "标签7", Kind::Label, 1, {12, 43, 200, 24}, "第二步：选择下面的“数据库”"},
    {Id::DatabaseList, "选择列表框1", Kind::CheckList, 1, {12, 66, 200, 300}, ""},
    {Id::Label5, "标签5", Kind::Label, 1, {232, 43, 200, 24}, "第三步：选择下面的“数据表”"},
    {Id::TableList, "列表框2", Kind::List, 1, {232, 66, 200, 300}, ""},
    {Id::Label6, "标签6", Kind::Label, 1, {459, 43, 300, 24}, "字段"},
    {Id::ColumnList, "列表框1", Kind::List, 1, {459, 66, 300, 300}, ""},
    {Id::GenerateButton, "按钮2", Kind::Button, 1, {304, 384, 168, 26}, "第四步：自动生成", true},
    // Page 2: custom data type and class module.
    {Id::Label8, "标签8", Kind::Label, 2, {17, 37, 280, 25}, "自定义类型"},
    {Id::CustomTypePane, "编辑框1", Kind::Pane, 2, {17, 61, 280, 310}, ""},
    {Id::Label9, "标签9", Kind::Label, 2, {320, 38, 440, 25}, "类模块"},
    {Id::ClassModulePane, "编辑框2", Kind::Pane, 2, {320, 62, 440, 310}, ""},
    {Id::CopyCustomType, "按钮3", Kind::Button, 2, {88, 378, 88, 24}, "复制"},
    {Id::CopyClassModule, "按钮4", Kind::Button, 2, {552, 378, 88, 24}, "复制"},
    // Page 3: set class.
    {Id::Label10, "标签10", Kind::Label, 3, {13, 30, 750, 25}, "WebSever集类文本"},
    {Id::SetClassPane, "编辑框3", Kind::Pane, 3, {13, 54, 750, 320}, ""},
    {Id::CopySetClass, "按钮5", Kind::Button, 3, {344, 384, 88, 24}, "复制"},
    // Page 4: C#.
    {Id::Label11, "标签11", Kind::Label, 4, {22, 33, 350, 25}, "C#类"},
    {Id::CSharpEntityPane, "编辑框_C类", Kind::Pane, 4, {22, 57, 350, 311}, ""},
    {Id::CopyCSharpEntity, "按钮6", Kind::Button, 4, {160, 376, 88, 24}, "复制"},
    {Id::Label12, "标签12", Kind::Label, 4, {402, 33, 350, 25}, "C#操作类"},
    {Id::CSharpOperationPane, "编辑框_C操作类", Kind::Pane, 4, {402, 57, 350, 311}, ""},
    {Id::CopyCSharpOperation, "按钮7", Kind::Button, 4, {544, 376, 88, 24}, "复制"},
    // Page 5: about.
    {Id::AboutBox, "编辑框4", Kind::About, 5, {84, 56, 608, 320}, ""},
    // Page 1, below the lists and beside 按钮2: the key warning (empty unless the chosen
    // table's record key does not tell its rows apart or its C# text will not compile), the
    // comments check box and, in the strip between the lists and it, the key check box.
    {Id::KeyWarning, "标签_主键提示", Kind::Note, 1, {480, 368, 285, 42}, ""},
    {Id::CommentsBox, "选择框_注释", Kind::CheckBox, 1, {12, 384, 200, 24}, "生成字段注释"},
    {Id::KeyBox, "选择框_主键", Kind::CheckBox, 1, {12, 366, 200, 18}, "以主键为记录键"},
};

constexpr WindowDefinition kMainWindow{
    "Kelvane ver " KELVANE_VERSION,
    {50, 50, 800, 500},
    {"连接Mysql", "生成操作", "生成的类", "WebSever集类", "C#源码", "关于"},
    kControls,
};

// Every Id appears once, in the order of the enumeration.
constexpr bool InIdOrder() {
  for (std::size_t i = 0; i < std::size(kControls); ++i)
    if (static_cast<std::size_t>(kControls[i].id) != i) return false;
  return true;
}
static_assert(InIdOrder(), "kControls must list every Id once, in the order of Id");
static_assert(std::size(kControls) == kControlCount);

}  // namespace

const WindowDefinition& MainWindowDefinition() { return kMainWindow; }

const Control& ControlOf(Id id) { return kControls[static_cast<std::size_t>(id)]; }

}  // namespace kelvane::ui
