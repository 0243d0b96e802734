#include "app/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPalette>
#include <QProxyStyle>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTextDocument>

#include "ui/about_text.h"
#include "app/address_box.h"
#include "schema/table_key.h"
#include "text/text.h"
#include "ui/server_address.h"

namespace kelvane {

namespace {

// Every list item keeps the server's bytes of its name, so commands read back exactly what
// the server sent.
constexpr int kNameRole = Qt::UserRole + 1;

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

// Shows a busy cursor while a command waits on the server.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

// Clears a list and fills it with names in one batch, without running the selection command.
void RefillList(QListWidget* list, const std::vector<std::string>& names, bool checkable) {
  const QSignalBlocker block(list);
  list->clear();
  QStringList labels;
  labels.reserve(static_cast<qsizetype>(names.size()));
  for (const std::string& name : names) labels.append(FromUtf8(name));
  list->addItems(labels);
  for (int row = 0; row < list->count(); ++row) {
    const std::string& name = names[static_cast<std::size_t>(row)];
    // A name that does not read back byte for byte from its label keeps its bytes beside it.
    if (labels[row].toStdString() != name) {
      list->item(row)->setData(kNameRole,
                               QByteArray(name.data(), static_cast<qsizetype>(name.size())));
    }
    if (checkable) {
      QListWidgetItem* item = list->item(row);
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(Qt::Unchecked);
    }
  }
}

void ClearList(QListWidget* list) { RefillList(list, {}, false); }

// Text of the selected item as the server sent it; "" when nothing is selected.
std::string SelectedName(const QListWidget* list) {
  const QList<QListWidgetItem*> selected = list->selectedItems();
  if (selected.isEmpty()) return {};
  const QVariant bytes = selected.first()->data(kNameRole);
  if (!bytes.isValid()) return selected.first()->text().toStdString();
  const QByteArray raw = bytes.toByteArray();
  return std::string(raw.constData(), static_cast<std::size_t>(raw.size()));
}

}  // namespace

MainWindow::MainWindow(AppState& state, unsigned port, QWidget* parent)
    : QWidget(parent), state_(state), port_(port) {
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
  hostBox_ = Widget<QLineEdit>(ui::Id::AddressBox);
  userBox_ = Widget<QLineEdit>(ui::Id::UserBox);
  passwordBox_ = Widget<QLineEdit>(ui::Id::PasswordBox);
  statusLabel_ = Widget<QLabel>(ui::Id::StatusLabel);
  databaseList_ = Widget<QListWidget>(ui::Id::DatabaseList);
  tableList_ = Widget<QListWidget>(ui::Id::TableList);
  columnList_ = Widget<QListWidget>(ui::Id::ColumnList);
  customTypePane_ = Widget<QPlainTextEdit>(ui::Id::CustomTypePane);
  classModulePane_ = Widget<QPlainTextEdit>(ui::Id::ClassModulePane);
  setClassPane_ = Widget<QPlainTextEdit>(ui::Id::SetClassPane);
  csharpEntityPane_ = Widget<QPlainTextEdit>(ui::Id::CSharpEntityPane);
  csharpOperationPane_ = Widget<QPlainTextEdit>(ui::Id::CSharpOperationPane);
  // A hand edit, or anything else that changes a pane, ends its untouched text.
  for (QPlainTextEdit* pane :
       {customTypePane_, classModulePane_, setClassPane_, csharpEntityPane_, csharpOperationPane_})
    connect(pane->document(), &QTextDocument::contentsChange, this,
            [this, pane](int, int, int) { untouched_.erase(pane); });
  keyWarning_ = Widget<QLabel>(ui::Id::KeyWarning);
  keyWarning_->setWordWrap(true);
  commentsBox_ = Widget<QCheckBox>(ui::Id::CommentsBox);

  // Text that cannot be connected to yet (empty, half typed, 0.0.0.0) shows in red.
  hostBox_->setValidator(new AddressValidator(hostBox_));
  connect(hostBox_, &QLineEdit::textChanged, this, [this] {
    QPalette colours = hostBox_->palette();
    colours.setColor(QPalette::Text, hostBox_->hasAcceptableInput() ? palette().color(QPalette::Text)
                                                                    : QColor(Qt::red));
    hostBox_->setPalette(colours);
  });

  tabs_->setCurrentIndex(0);

  connect(Widget<QPushButton>(ui::Id::ConnectButton), &QPushButton::clicked, this,
          &MainWindow::ConnectServer);
  connect(databaseList_, &QListWidget::itemSelectionChanged, this, [this] {
    if (!databaseList_->selectedItems().isEmpty()) ChooseDatabase();
  });
  connect(tableList_, &QListWidget::itemSelectionChanged, this, [this] {
    if (!tableList_->selectedItems().isEmpty()) ChooseTable();
  });
  connect(Widget<QPushButton>(ui::Id::GenerateButton), &QPushButton::clicked, this,
          &MainWindow::GenerateAll);
  for (const ui::CopyBinding& binding : ui::kCopyBindings) {
    QPlainTextEdit* pane = Widget<QPlainTextEdit>(binding.pane);
    connect(Widget<QPushButton>(binding.button), &QPushButton::clicked, this,
            [this, pane] { CopyPane(pane); });
  }
  connect(Widget<QPushButton>(ui::Id::CloseButton), &QPushButton::clicked, this,
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

std::optional<MainWindow::Target> MainWindow::ReadTarget() const {
  const std::optional<ui::ServerAddress> address = ui::ReadAddress(hostBox_->text().toStdString());
  if (!address) return std::nullopt;
  return Target{ConnectInput{address->host, userBox_->text().toStdString(),
                             passwordBox_->text().toStdString()},
                address->port != 0 ? address->port : port_};
}

std::string MainWindow::SelectedTableName() const { return SelectedName(tableList_); }

void MainWindow::ConnectServer() {
  const BusyCursor busy;
  ConnectServerResult result{kStatusFailed, {}, false};
  if (const std::optional<Target> target = ReadTarget())
    result = kelvane::ConnectServer(state_.session, target->input, target->port);
  else
    state_.session.Replace(0);  // an address that cannot be used is a failed attempt
  ClearList(databaseList_);
  ShowKeyWarning({});
  statusLabel_->setText(FromUtf8(result.status));
  RefillList(databaseList_, result.databases, true);
  if (result.showTablesPage) tabs_->setCurrentIndex(1);
}

void MainWindow::ChooseDatabase() {
  const BusyCursor busy;
  const std::string database = SelectedName(databaseList_);
  ChooseDatabaseResult result{kStatusFailed, {}};
  if (const std::optional<Target> target = ReadTarget())
    result = kelvane::ChooseDatabase(state_.session, target->input, database, target->port);
  else
    state_.session.Replace(0);
  statusLabel_->setText(FromUtf8(result.status));
  ClearList(tableList_);
  ClearList(columnList_);
  ShowKeyWarning({});
  RefillList(tableList_, result.tables, false);
}

void MainWindow::ChooseTable() {
  const BusyCursor busy;
  ClearList(columnList_);
  const std::string table = SelectedTableName();
  const std::vector<std::string> lines =
      kelvane::ChooseTable(state_.session, table, state_.fields, state_.facts);
  RefillList(columnList_, lines, false);
  // The set class finds records by the first column: say so when it is not the key.
  ShowKeyWarning(KeyWarningText(table, state_.fields, state_.facts, 0, KeyWarningForm::Window));
}

void MainWindow::ShowKeyWarning(const std::string& text) {
  keyWarning_->setText(FromUtf8(text));
  keyWarning_->setToolTip(FromUtf8(text));  // the whole text, should the label cut it
}

void MainWindow::GenerateAll() {
  if (tableList_->selectedItems().isEmpty()) return;
  textOptions_ = TextOptions{};
  if (commentsBox_->isChecked()) {
    // The one extra statement, only when the comments are asked for.
    const BusyCursor busy;
    const std::string table = SelectedTableName();
    if (ReadColumnComments(state_.session.handle(), table, state_.fields, state_.facts)) {
      textOptions_.comments = CommentsOf(state_.facts);
    } else {
      const std::string warning =
          KeyWarningText(table, state_.fields, state_.facts, 0, KeyWarningForm::Window);
      ShowKeyWarning(warning + kCommentsUnread);
    }
  }
  GenerateCustomType();
  GenerateClassModule();
  GenerateSetClass();
  GenerateCSharpEntity();
  GenerateCSharpOperation();
  tabs_->setCurrentIndex(2);
}

void MainWindow::FillPane(QPlainTextEdit* pane, Pane kind) {
  const QString text = FromUtf8(BuildPaneText(kind, SelectedTableName(), state_.fields, textOptions_));
  pane->setPlainText(text);
  untouched_[pane] = text;
}

void MainWindow::GenerateCustomType() { FillPane(customTypePane_, Pane::CustomType); }
void MainWindow::GenerateClassModule() { FillPane(classModulePane_, Pane::ClassModule); }
void MainWindow::GenerateSetClass() { FillPane(setClassPane_, Pane::SetClass); }
void MainWindow::GenerateCSharpEntity() { FillPane(csharpEntityPane_, Pane::CSharpEntity); }
void MainWindow::GenerateCSharpOperation() {
  FillPane(csharpOperationPane_, Pane::CSharpOperation);
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
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  const auto untouched = untouched_.find(pane);
  clipboard->setText(untouched != untouched_.end() ? untouched->second : FromUtf8(PaneText(pane)));
}

void MainWindow::CloseMainWindow() { close(); }

}  // namespace kelvane
