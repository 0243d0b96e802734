// The window's behaviour without a toolkit: a recording view, the real test server, and the
// worker's results taken from the view's queue as a message loop would.
#include "ui/window_core.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "generators/generators.h"
#include "support/server_env.h"
#include "support/silent_listener.h"

namespace kelvane::ui {
namespace {

using testing::TestPort;

class RecordingView : public WindowView {
 public:
  std::map<Id, std::string> texts;
  std::map<Id, std::vector<std::string>> items;
  std::map<Id, int> putBack;  // SelectRow calls
  std::map<Id, int> textSets;
  int page = 0;
  bool busy = false;

  void SetText(Id control, const std::string& text) override {
    texts[control] = text;
    ++textSets[control];
  }
  void SetItems(Id list, const std::vector<std::string>& rows) override { items[list] = rows; }
  void SelectRow(Id list, int row) override { putBack[list] = row; }
  void ShowPage(int shown) override { page = shown; }
  void SetBusy(bool now) override { busy = now; }
  void Post(std::function<void()> task) override {
    const std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  // Runs what the worker posted until the core is idle again.
  bool RunUntilIdle(const WindowCore& core, std::chrono::seconds limit = std::chrono::seconds(20)) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (core.busy() && std::chrono::steady_clock::now() < until) {
      std::function<void()> task;
      {
        const std::lock_guard lock(mutex_);
        if (!tasks_.empty()) {
          task = std::move(tasks_.front());
          tasks_.pop_front();
        }
      }
      if (task)
        task();
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return !core.busy();
  }

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> tasks_;
};

ServerInput Boxes(unsigned port) {
  return {"127.0.0.1:" + std::to_string(port), " root ", testing::kTestPassword};
}

int Row(const std::vector<std::string>& names, const std::string& name) {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return static_cast<int>(i);
  return -1;
}

// The four steps with the window's words, the panes filled page by page, and the copy text.
TEST(WindowCore, StepsSayTheirStatusAndPanesArriveWithTheirPage) {
  RecordingView view;
  WindowCore core(view);
  core.KeepColumns();
  core.ConnectClicked(Boxes(TestPort()));
  EXPECT_TRUE(view.busy);
  ASSERT_TRUE(view.RunUntilIdle(core));
  EXPECT_FALSE(view.busy);
  EXPECT_EQ(view.texts[Id::StatusLabel], "已连接Mysql数据库");
  EXPECT_EQ(view.page, kTablesPage);
  const std::vector<std::string> databases = view.items[Id::DatabaseList];

  core.DatabaseSelected(Row(databases, "kelvane_cli_keys"), Boxes(TestPort()));
  ASSERT_TRUE(view.RunUntilIdle(core));
  EXPECT_EQ(view.texts[Id::StatusLabel], "已连接Mysql数据库:kelvane_cli_keys");
  const std::vector<std::string> tables = view.items[Id::TableList];
  core.TableSelected(Row(tables, "user"), {});
  ASSERT_TRUE(view.RunUntilIdle(core));
  EXPECT_EQ(view.items[Id::ColumnList], (std::vector<std::string>{"id|整数型", "name|文本型", "X|整数型"}));
  EXPECT_EQ(view.texts[Id::KeyWarning],
            "注意：首列“id”不是主键（主键为“name”），库_删/库_改/库_查按首列找记录。");

  core.GenerateClicked({});
  ASSERT_TRUE(view.RunUntilIdle(core));
  EXPECT_EQ(view.page, kGeneratedPage);
  EXPECT_EQ(view.texts[Id::CustomTypePane], BuildCustomTypeText("user", core.fields()));
  EXPECT_EQ(view.textSets.count(Id::SetClassPane), 0u);  // page 3 was not shown yet
  const std::string entity = BuildCSharpEntityText("user", core.fields());
  ASSERT_NE(core.UntouchedPaneText(Id::CSharpEntityPane), nullptr);
  EXPECT_EQ(*core.UntouchedPaneText(Id::CSharpEntityPane), entity);
  core.PageShown(4);
  EXPECT_EQ(view.texts[Id::CSharpEntityPane], entity);
  core.PageShown(2);
  core.PageShown(4);
  EXPECT_EQ(view.textSets[Id::CSharpEntityPane], 1);  // once per generate
  // Once changed by hand the pane's own content is copied; the others keep their text.
  core.PaneChanged(Id::CSharpEntityPane);
  EXPECT_EQ(core.UntouchedPaneText(Id::CSharpEntityPane), nullptr);
  EXPECT_NE(core.UntouchedPaneText(Id::SetClassPane), nullptr);

  // 选择框_主键: the one-column primary key becomes the record key of the set class and the C#
  // list class; where there is none, the warning says the first column stays.
  core.TableSelected(Row(tables, "user"), {false, true});
  ASSERT_TRUE(view.RunUntilIdle(core));
  EXPECT_EQ(view.texts[Id::KeyWarning], "");
  core.GenerateClicked({false, true});
  ASSERT_TRUE(view.RunUntilIdle(core));
  TextOptions keyed;
  keyed.keyPosition = 1;
  keyed.keyInCSharpList = true;
  EXPECT_EQ(*core.UntouchedPaneText(Id::SetClassPane), BuildSetClassText("user", core.fields(), keyed));
  EXPECT_EQ(*core.UntouchedPaneText(Id::CSharpEntityPane),
            BuildCSharpEntityText("user", core.fields(), keyed));
  core.TableSelected(Row(tables, "no_key"), {false, true});
  ASSERT_TRUE(view.RunUntilIdle(core));
  EXPECT_EQ(view.texts[Id::KeyWarning],
            "注意：本表没有单列主键，仍按首列生成。\n"
            "注意：本表没有主键，库_删/库_改/库_查按首列“name”找记录。\n"
            "C#：本表没有id列，列表类的删除/修改/提取按id比较，编译不过。");

  // Names that are no identifiers in the texts are named as well.
  core.DatabaseSelected(Row(databases, "kelvane hostile `q' \"%\\ 库"), Boxes(TestPort()));
  ASSERT_TRUE(view.RunUntilIdle(core));
  core.TableSelected(Row(view.items[Id::TableList], "订单 明细"), {});
  ASSERT_TRUE(view.RunUntilIdle(core));
  EXPECT_EQ(view.texts[Id::KeyWarning],
            "注意：本表没有主键，库_删/库_改/库_查按首列“商品 名称”找记录。\n"
            "C#：本表没有id列，列表类的删除/修改/提取按id比较，编译不过。\n"
            "C#与易语言：表名“订单 明细”含“ ”（U+0020），不是标识符，编译不过。\n"
            "C#与易语言：列名“商品 名称”含“ ”（U+0020），不是标识符，编译不过。\n"
            "C#与易语言：列名“　全角空格”含“　”（U+3000），不是标识符，编译不过。");

  // A failed choice: the failed status, the lists emptied.
  ServerInput wrong = Boxes(TestPort());
  wrong.password = "wrong";
  core.DatabaseSelected(Row(databases, "kelvane_shop"), wrong);
  ASSERT_TRUE(view.RunUntilIdle(core));
  EXPECT_EQ(view.texts[Id::StatusLabel], "连接失败");
  EXPECT_TRUE(view.items[Id::TableList].empty());
  EXPECT_TRUE(view.items[Id::ColumnList].empty());
  core.GenerateClicked({});  // no table chosen now: nothing happens
  EXPECT_FALSE(core.busy());
}

// While a command waits on a server that says nothing, the events that would start another one
// are ignored and a list's selection is put back; the wait ends in the failed status.
TEST(WindowCore, OneCommandAtATime) {
  RecordingView view;
  WindowCore core(view);
  core.ConnectClicked(Boxes(TestPort()));
  ASSERT_TRUE(view.RunUntilIdle(core));
  core.DatabaseSelected(Row(view.items[Id::DatabaseList], "kelvane_shop"), Boxes(TestPort()));
  ASSERT_TRUE(view.RunUntilIdle(core));
  const std::vector<std::string> tables = view.items[Id::TableList];

  const testing::ScriptedServer silent({}, std::chrono::milliseconds(0), std::chrono::milliseconds(1500));
  core.ConnectClicked(Boxes(silent.port()));
  ASSERT_TRUE(core.busy());
  core.TableSelected(0, {});
  EXPECT_EQ(view.putBack[Id::TableList], -1);
  core.DatabaseSelected(0, Boxes(TestPort()));
  EXPECT_EQ(view.putBack[Id::DatabaseList], Row(view.items[Id::DatabaseList], "kelvane_shop"));
  core.GenerateClicked({});
  core.ConnectClicked(Boxes(TestPort()));
  ASSERT_TRUE(view.RunUntilIdle(core));
  EXPECT_EQ(view.texts[Id::StatusLabel], "连接失败");
  EXPECT_TRUE(view.items[Id::DatabaseList].empty());
  EXPECT_EQ(view.items[Id::TableList], tables);  // a failed connect leaves the table list
  EXPECT_EQ(view.page, kTablesPage);
}

}  // namespace
}  // namespace kelvane::ui
