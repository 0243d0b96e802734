#pragma once
// 主窗口 in Qt: builds the controls of the window definition, forwards their events to the
// window core and draws what the core tells it.
#include <QWidget>
#include <array>
#include <cstddef>
#include <string>

#include "ui/window_core.h"
#include "ui/window_definition.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QTabWidget;

namespace kelvane {

class MainWindow : public QWidget, private ui::WindowView {
  Q_OBJECT

 public:
  // port: the server port the commands connect on when the IP box names none; always 3306
  // for the user.
  explicit MainWindow(unsigned port = 3306, QWidget* parent = nullptr);

  // The events, as the controls send them.
  void ConnectServer();
  void ChooseDatabase();
  void ChooseTable();
  void GenerateAll();
  void CopyPane(QPlainTextEdit* pane);
  void CloseMainWindow();

  ui::WindowCore& core() { return core_; }
  // Takes events until the running command has ended (tests and benchmarks); false when it
  // has not ended within `milliseconds`.
  bool WaitUntilIdle(int milliseconds = 30000);

  // The pane's text as copied: every line break as CR LF.
  static std::string PaneText(const QPlainTextEdit* pane);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // ui::WindowView
  void SetText(ui::Id control, const std::string& text) override;
  void SetItems(ui::Id list, const std::vector<std::string>& items) override;
  void SelectRow(ui::Id list, int row) override;
  void ShowPage(int page) override;
  void SetBusy(bool busy) override;
  void Post(std::function<void()> task) override;

  // A control of the kind the definition names, with its text and style; placed by the caller.
  QWidget* CreateControl(const ui::Control& control);
  QWidget* Of(ui::Id id) const { return controls_[static_cast<std::size_t>(id)]; }
  void AlignPages();
  ui::ServerInput Input() const;
  ui::TextChoices Choices() const;

  bool pagesAligned_ = false;
  bool busy_ = false;
  // Every control of the definition, by ui::Id.
  std::array<QWidget*, ui::kControlCount> controls_{};
  QTabWidget* tabs_ = nullptr;
  QLineEdit* hostBox_ = nullptr;
  QListWidget* databaseList_ = nullptr;
  QListWidget* tableList_ = nullptr;
  QCheckBox* commentsBox_ = nullptr;
  QCheckBox* keyBox_ = nullptr;
  // The text each pane was last given by the core: a copy of a pane that still holds it hands
  // this over without converting the text again.
  std::array<QString, ui::kPanesInOrder.size()> given_;
  ui::WindowCore core_;  // last: gone before the controls it draws on
};

}  // namespace kelvane
