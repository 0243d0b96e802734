#pragma once
// 主窗口: the one window of the program, its controls and the commands bound to their events.
#include <QWidget>
#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <string>

#include "app/app_state.h"
#include "generators/generators.h"
#include "ui/window_definition.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace kelvane {

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // port: the server port the commands connect on when the IP box names none; always 3306
  // for the user.
  explicit MainWindow(AppState& state, unsigned port = kDefaultPort, QWidget* parent = nullptr);

  // Commands bound to control events.
  void ConnectServer();
  void ChooseDatabase();
  void ChooseTable();
  void GenerateAll();
  void CopyPane(QPlainTextEdit* pane);
  void CloseMainWindow();

  // Pane steps: each reads the table name from 列表框2 and replaces its whole pane.
  void GenerateCustomType();
  void GenerateClassModule();
  void GenerateSetClass();
  void GenerateCSharpEntity();
  void GenerateCSharpOperation();

  // The pane's text as copied: every line break as CR LF.
  static std::string PaneText(const QPlainTextEdit* pane);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // A control of the kind the definition names, with its text and style; placed by the caller.
  QWidget* CreateControl(const ui::Control& control);
  template <typename W>
  W* Widget(ui::Id id) const {
    return static_cast<W*>(controls_[static_cast<std::size_t>(id)]);
  }
  void AlignPages();
  struct Target {
    ConnectInput input;
    unsigned port;
  };
  // What page 0 says to connect to; nothing when the IP box holds no usable address.
  std::optional<Target> ReadTarget() const;
  std::string SelectedTableName() const;
  void FillPane(QPlainTextEdit* pane, Pane kind);
  // 标签_主键提示: the key warning of the chosen table, empty when there is none.
  void ShowKeyWarning(const std::string& text);

  AppState& state_;
  unsigned port_;
  bool pagesAligned_ = false;

  // Every control of the definition, by ui::Id.
  std::array<QWidget*, static_cast<std::size_t>(ui::Id::CommentsBox) + 1> controls_{};
  QTabWidget* tabs_ = nullptr;
  QLineEdit* hostBox_ = nullptr;
  QLineEdit* userBox_ = nullptr;
  QLineEdit* passwordBox_ = nullptr;
  QLabel* statusLabel_ = nullptr;
  QListWidget* databaseList_ = nullptr;
  QListWidget* tableList_ = nullptr;
  QListWidget* columnList_ = nullptr;
  QPlainTextEdit* customTypePane_ = nullptr;
  QPlainTextEdit* classModulePane_ = nullptr;
  QPlainTextEdit* setClassPane_ = nullptr;
  QPlainTextEdit* csharpEntityPane_ = nullptr;
  QPlainTextEdit* csharpOperationPane_ = nullptr;
  QLabel* keyWarning_ = nullptr;
  QCheckBox* commentsBox_ = nullptr;
  TextOptions textOptions_;  // of the last generate: the comments when 选择框_注释 was checked
  // The text each pane was last filled with, while nothing has changed it since: a copy of an
  // untouched pane hands this over as it is instead of reading the document back.
  std::map<const QPlainTextEdit*, QString> untouched_;
};

}  // namespace kelvane
