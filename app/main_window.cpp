#include "app/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPalette>
#include <QProxyStyle>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>

#include "app/address_box.h"
#include "text/text.h"
#include "ui/about_text.h"

namespace kelvane {

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QRect Geometry(const ui::Rect& rect) { return QRect(rect.left, rect.top, rect.width, rect.height); }

// Font F, falling back to an installed CJK family on other systems.
QFont FontF() {
  QFont font;
  font.setFamilies({FromUtf8(ui::kFontF.face), QStringLiteral("Microsoft YaHei"),
                    QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
  font.setPixelSize(ui::kFontF.pixelHeight);
  font.setWeight(static_cast<QFont::Weight>(ui::kFontF.weight));
  return font;
}

// The password box masks every character with "*" (the platform style's bullet is not "*").
// A proxy style rather than a style sheet: style sheets make every start noticeably slower.
class StarPasswordStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

// Clears a list and fills it with names in one batch, without running the selection command.
void RefillList(QListWidget* list, const std::vector<std::string>& names, bool checkable) {
  const QSignalBlocker block(list);
  list->clear();
  QStringList labels;
  labels.reserve(static_cast<qsizetype>(names.size()));
  for (const std::string& name : names) labels.append(FromUtf8(name));
  list->addItems(labels);
  if (!checkable) return;
  for (int row = 0; row < list->count(); ++row) {
    QListWidgetItem* item = list->item(row);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
}

// The row of the selected item; -1 when nothing is selected.
int SelectedRow(const QListWidget* list) {
  const QList<QListWidgetItem*> selected = list->selectedItems();
  return selected.isEmpty() ? -1 : list->row(selected.first());
}

}  // namespace

MainWindow::MainWindow(unsigned port, QWidget* parent) : QWidget(parent), core_(*this, port) {
  const ui::WindowDefinition& definition = ui::MainWindowDefinition();
  setObjectName(QStringLiteral("主窗口"));
  setWindowTitle(FromUtf8(definition.caption));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  move(definition.outer.left, definition.outer.top);
  setFixedSize(definition.outer.width, definition.outer.height);

  // The tab control comes first in the definition, so its pages exist for the controls after it.
  for (const ui::Control& control : definition.controls) {
    QWidget* widget = CreateControl(control);
    widget->setObjectName(FromUtf8(control.name));
    if (control.fontF) widget->setFont(FontF());
    if (control.page == ui::kOnMainWindow) {
      widget->setParent(this);
      widget->setGeometry(Geometry(control.rect));
    } else {
      // Positioned relative to the tab control, as in the definition; the page widgets sit
      // below the tab bar, so the offset is taken off once the tabs are laid out.
      widget->setParent(tabs_->widget(control.page));
      widget->setProperty("tabPosition", QPoint(control.rect.left, control.rect.top));
      widget->setGeometry(Geometry(control.rect));
    }
    controls_[static_cast<std::size_t>(control.id)] = widget;
  }
  hostBox_ = static_cast<QLineEdit*>(Of(ui::Id::AddressBox));
  databaseList_ = static_cast<QListWidget*>(Of(ui::Id::DatabaseList));
  tableList_ = static_cast<QListWidget*>(Of(ui::Id::TableList));
  commentsBox_ = static_cast<QCheckBox*>(Of(ui::Id::CommentsBox));
  keyBox_ = static_cast<QCheckBox*>(Of(ui::Id::KeyBox));
  // A hand edit, or anything else that changes a pane, ends its untouched text.
  for (ui::Id id : ui::kPanesInOrder)
    connect(static_cast<QPlainTextEdit*>(Of(id))->document(), &QTextDocument::contentsChange, this,
            [this, id](int, int, int) { core_.PaneChanged(id); });

  // Text that cannot be connected to yet (empty, half typed, 0.0.0.0) shows in red.
  hostBox_->setValidator(new AddressValidator(hostBox_));
  connect(hostBox_, &QLineEdit::textChanged, this, [this] {
    QPalette colours = hostBox_->palette();
    colours.setColor(QPalette::Text, hostBox_->hasAcceptableInput() ? palette().color(QPalette::Text)
                                                                    : QColor(Qt::red));
    hostBox_->setPalette(colours);
  });

  tabs_->setCurrentIndex(0);
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int page) { core_.PageShown(page); });

  connect(static_cast<QPushButton*>(Of(ui::Id::ConnectButton)), &QPushButton::clicked, this,
          &MainWindow::ConnectServer);
  connect(databaseList_, &QListWidget::itemSelectionChanged, this, &MainWindow::ChooseDatabase);
  connect(tableList_, &QListWidget::itemSelectionChanged, this, &MainWindow::ChooseTable);
  connect(static_cast<QPushButton*>(Of(ui::Id::GenerateButton)), &QPushButton::clicked, this,
          &MainWindow::GenerateAll);
  for (const ui::CopyBinding& binding : ui::kCopyBindings) {
    auto* pane = static_cast<QPlainTextEdit*>(Of(binding.pane));
    connect(static_cast<QPushButton*>(Of(binding.button)), &QPushButton::clicked, this,
            [this, pane] { CopyPane(pane); });
  }
  connect(static_cast<QPushButton*>(Of(ui::Id::CloseButton)), &QPushButton::clicked, this,
          &MainWindow::CloseMainWindow);
}

QWidget* MainWindow::CreateControl(const ui::Control& control) {
  const QString text = FromUtf8(control.text);
  switch (control.kind) {
    case ui::Kind::Tabs: {
      tabs_ = new QTabWidget;
      for (std::string_view title : ui::MainWindowDefinition().pageTitles)
        tabs_->addTab(new QWidget, FromUtf8(title));
      return tabs_;
    }
    case ui::Kind::Label: {
      auto* label = new QLabel(text);
      label->setTextFormat(Qt::PlainText);  // database names are not markup
      return label;
    }
    case ui::Kind::AddressBox:
    case ui::Kind::Edit:
    case ui::Kind::Password: {
      auto* box = new QLineEdit(text);
      if (control.kind == ui::Kind::Password) {
        box->setEchoMode(QLineEdit::Password);
        auto* starStyle = new StarPasswordStyle;
        starStyle->setParent(box);
        box->setStyle(starStyle);
      }
      if (control.centred) box->setAlignment(Qt::AlignCenter);
      return box;
    }
    case ui::Kind::Button:
      return new QPushButton(text);
    case ui::Kind::CheckList:
    case ui::Kind::List: {
      // Check marks of the check list are set per item as the list is filled.
      auto* list = new QListWidget;
      list->setUniformItemSizes(true);
      return list;
    }
    case ui::Kind::Pane: {
      auto* pane = new QPlainTextEdit;
      pane->setLineWrapMode(QPlainTextEdit::WidgetWidth);
      pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      pane->setFrameShape(QFrame::Box);
      QPalette colours = pane->palette();
      colours.setColor(QPalette::Text, Qt::black);
      colours.setColor(QPalette::Base, Qt::white);
      pane->setPalette(colours);
      return pane;
    }
    case ui::Kind::About: {
      auto* about = new QPlainTextEdit;
      about->setPlainText(FromUtf8(AboutText()));
      about->setReadOnly(true);
      about->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      about->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      about->setFrameShape(QFrame::Box);
      return about;
    }
    case ui::Kind::CheckBox:
      return new QCheckBox(text);  // unchecked; read when the texts are generated
    case ui::Kind::Note: {
      // The label carries the control's name too, so that it is found as what it is.
      auto* area = new QScrollArea;
      auto* label = new QLabel;
      label->setObjectName(FromUtf8(control.name));
      label->setTextFormat(Qt::PlainText);
      label->setWordWrap(true);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      area->setWidget(label);
      area->setWidgetResizable(true);
      area->setFrameShape(QFrame::NoFrame);
      area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      area->setBackgroundRole(QPalette::Base);
      area->setAutoFillBackground(false);
      area->viewport()->setAutoFillBackground(false);
      label->setAutoFillBackground(false);
      return area;
    }
  }
  return new QWidget;
}

void MainWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  AlignPages();
}

void MainWindow::AlignPages() {
  if (pagesAligned_) return;
  pagesAligned_ = true;
  // Every page sits at the same place inside the tab control.
  const QPoint offset = tabs_->currentWidget()->mapTo(tabs_, QPoint(0, 0));
  for (int i = 0; i < tabs_->count(); ++i) {
    QWidget* page = tabs_->widget(i);
    for (QWidget* child : page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      const QVariant position = child->property("tabPosition");
      if (position.isValid()) child->move(position.toPoint() - offset);
    }
  }
}

ui::ServerInput MainWindow::Input() const {
  return ui::ServerInput{hostBox_->text().toStdString(),
                         static_cast<QLineEdit*>(Of(ui::Id::UserBox))->text().toStdString(),
                         static_cast<QLineEdit*>(Of(ui::Id::PasswordBox))->text().toStdString()};
}

void MainWindow::ConnectServer() { core_.ConnectClicked(Input()); }

void MainWindow::ChooseDatabase() {
  if (const int row = SelectedRow(databaseList_); row >= 0) core_.DatabaseSelected(row, Input());
}

void MainWindow::ChooseTable() {
  if (const int row = SelectedRow(tableList_); row >= 0) core_.TableSelected(row, Choices());
}

void MainWindow::GenerateAll() { core_.GenerateClicked(Choices()); }

ui::TextChoices MainWindow::Choices() const {
  return ui::TextChoices{commentsBox_->isChecked(), keyBox_->isChecked()};
}

bool MainWindow::WaitUntilIdle(int milliseconds) {
  const QDeadlineTimer deadline(milliseconds);
  QTimer wake;  // sleeps in the wait below end at least this often
  wake.start(50);
  while (core_.busy() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return !core_.busy();
}

void MainWindow::SetText(ui::Id control, const std::string& text) {
  if (ui::ControlOf(control).kind == ui::Kind::Pane) {
    QString& given = given_[ui::PaneIndex(control)];
    given = FromUtf8(text);
    static_cast<QPlainTextEdit*>(Of(control))->setPlainText(given);
    return;
  }
  if (ui::ControlOf(control).kind == ui::Kind::Note) {
    auto* label = static_cast<QLabel*>(static_cast<QScrollArea*>(Of(control))->widget());
    label->setText(FromUtf8(text));
    label->setToolTip(label->text());
    return;
  }
  static_cast<QLabel*>(Of(control))->setText(FromUtf8(text));
}

void MainWindow::SetItems(ui::Id list, const std::vector<std::string>& items) {
  RefillList(static_cast<QListWidget*>(Of(list)), items, list == ui::Id::DatabaseList);
}

void MainWindow::SelectRow(ui::Id id, int row) {
  auto* list = static_cast<QListWidget*>(Of(id));
  const QSignalBlocker block(list);
  if (row < 0)
    list->clearSelection();
  else
    list->setCurrentRow(row);
}

void MainWindow::ShowPage(int page) { tabs_->setCurrentIndex(page); }

void MainWindow::SetBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

void MainWindow::Post(std::function<void()> task) {
  QMetaObject::invokeMethod(this, [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

std::string MainWindow::PaneText(const QPlainTextEdit* pane) {
  // The document keeps lines as blocks (the CR of CR LF is dropped on the way in); its raw
  // text separates blocks with U+2029 and keeps every other character as typed.
  QString raw = pane->document()->toRawText();
  raw.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  raw.replace(QChar::LineSeparator, QLatin1Char('\n'));
  return ToCrlf(raw.toStdString());
}

void MainWindow::CopyPane(QPlainTextEdit* pane) {
  if (core_.busy()) return;  // no second command while one runs
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  const ui::Id id = static_cast<ui::Id>(
      std::find(controls_.begin(), controls_.end(), pane) - controls_.begin());
  if (core_.PaneHoldsGeneratedText(id)) {
    clipboard->setText(given_[ui::PaneIndex(id)]);
  } else {
    const std::string* untouched = core_.UntouchedPaneText(id);
    clipboard->setText(FromUtf8(untouched ? *untouched : PaneText(pane)));
  }
}

void MainWindow::CloseMainWindow() { close(); }

}  // namespace kelvane
