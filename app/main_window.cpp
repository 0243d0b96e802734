#include "app/main_window.h"

#include <QApplication>
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

#include "app/about_text.h"
#include "app/address_box.h"
#include "kelvane_version.h"
#include "text/text.h"

namespace kelvane {

namespace {

// Every list item keeps the server's bytes of its name, so commands read back exactly what
// the server sent.
constexpr int kNameRole = Qt::UserRole + 1;

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Font F: "微软雅黑" 16 px, falling back to an installed CJK family on other systems.
QFont FontF() {
  QFont font;
  font.setFamilies({QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"),
                    QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
  font.setPixelSize(16);
  font.setWeight(QFont::Normal);
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
  setObjectName(QStringLiteral("主窗口"));
  setWindowTitle(QStringLiteral("Kelvane ver " KELVANE_VERSION));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  move(50, 50);
  setFixedSize(800, 500);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("选择夹1"));
  tabs_->setGeometry(9, 8, 776, 416);
  for (const char* title : {"连接Mysql", "生成操作", "生成的类", "WebSever集类", "C#源码", "关于"})
    tabs_->addTab(new QWidget, QString::fromUtf8(title));

  auto* closeButton = new QPushButton(QStringLiteral("关闭"), this);
  closeButton->setObjectName(QStringLiteral("按钮_关闭"));
  closeButton->setGeometry(685, 431, 80, 32);

  // Page 0: connect.
  AddLabel("标签1", 0, {74, 121, 48, 32}, QStringLiteral("ip地址"));
  hostBox_ = Place(new QLineEdit(QStringLiteral("127.0.0.1")), "IP编辑框_ip地址", 0, 146, 121, 150, 32);
  hostBox_->setValidator(new AddressValidator(hostBox_));
  hostBox_->setFont(FontF());
  // Text that cannot be connected to yet (empty, half typed, 0.0.0.0) shows in red.
  connect(hostBox_, &QLineEdit::textChanged, this, [this] {
    QPalette colours = hostBox_->palette();
    colours.setColor(QPalette::Text, hostBox_->hasAcceptableInput() ? palette().color(QPalette::Text)
                                                                    : QColor(Qt::red));
    hostBox_->setPalette(colours);
  });
  AddLabel("标签2", 0, {74, 177, 48, 32}, QStringLiteral("用户"));
  userBox_ = Place(new QLineEdit(QStringLiteral("root")), "编辑框_用户", 0, 146, 177, 150, 32);
  userBox_->setAlignment(Qt::AlignCenter);
  userBox_->setFont(FontF());
  AddLabel("标签3", 0, {74, 233, 48, 40}, QStringLiteral("密码"));
  passwordBox_ = Place(new QLineEdit(QStringLiteral("271828")), "编辑框_密码", 0, 146, 233, 150, 32);
  passwordBox_->setEchoMode(QLineEdit::Password);
  auto* starStyle = new StarPasswordStyle;
  starStyle->setParent(passwordBox_);
  passwordBox_->setStyle(starStyle);
  passwordBox_->setAlignment(Qt::AlignCenter);
  passwordBox_->setFont(FontF());
  auto* connectButton = AddButton("按钮1", 0, {440, 168, 143, 88}, QStringLiteral("第一步：连接数据库"));
  statusLabel_ = AddLabel("标签4", 0, {104, 347, 496, 40}, QString());
  statusLabel_->setTextFormat(Qt::PlainText);  // database names are not markup

  // Page 1: choose database, table, generate.
  AddLabel("标签7", 1, {12, 43, 200, 24}, QStringLiteral("第二步：选择下面的“数据库”"));
  databaseList_ = Place(new QListWidget, "选择列表框1", 1, 12, 66, 200, 300);
  databaseList_->setUniformItemSizes(true);
  AddLabel("标签5", 1, {232, 43, 200, 24}, QStringLiteral("第三步：选择下面的“数据表”"));
  tableList_ = Place(new QListWidget, "列表框2", 1, 232, 66, 200, 300);
  tableList_->setUniformItemSizes(true);
  AddLabel("标签6", 1, {459, 43, 300, 24}, QStringLiteral("字段"));
  columnList_ = Place(new QListWidget, "列表框1", 1, 459, 66, 300, 300);
  columnList_->setUniformItemSizes(true);
  auto* generateButton = AddButton("按钮2", 1, {304, 384, 168, 26}, QStringLiteral("第四步：自动生成"));
  generateButton->setFont(FontF());

  // Page 2: custom data type and class module.
  AddLabel("标签8", 2, {17, 37, 280, 25}, QStringLiteral("自定义类型"));
  customTypePane_ = AddPane("编辑框1", 2, {17, 61, 280, 310});
  AddLabel("标签9", 2, {320, 38, 440, 25}, QStringLiteral("类模块"));
  classModulePane_ = AddPane("编辑框2", 2, {320, 62, 440, 310});
  auto* copy3 = AddButton("按钮3", 2, {88, 378, 88, 24}, QStringLiteral("复制"));
  auto* copy4 = AddButton("按钮4", 2, {552, 378, 88, 24}, QStringLiteral("复制"));

  // Page 3: set class.
  AddLabel("标签10", 3, {13, 30, 750, 25}, QStringLiteral("WebSever集类文本"));
  setClassPane_ = AddPane("编辑框3", 3, {13, 54, 750, 320});
  auto* copy5 = AddButton("按钮5", 3, {344, 384, 88, 24}, QStringLiteral("复制"));

  // Page 4: C#.
  AddLabel("标签11", 4, {22, 33, 350, 25}, QStringLiteral("C#类"));
  csharpEntityPane_ = AddPane("编辑框_C类", 4, {22, 57, 350, 311});
  auto* copy6 = AddButton("按钮6", 4, {160, 376, 88, 24}, QStringLiteral("复制"));
  AddLabel("标签12", 4, {402, 33, 350, 25}, QStringLiteral("C#操作类"));
  csharpOperationPane_ = AddPane("编辑框_C操作类", 4, {402, 57, 350, 311});
  auto* copy7 = AddButton("按钮7", 4, {544, 376, 88, 24}, QStringLiteral("复制"));

  // Page 5: about.
  auto* about = Place(new QPlainTextEdit, "编辑框4", 5, 84, 56, 608, 320);
  about->setPlainText(FromUtf8(AboutText()));
  about->setReadOnly(true);
  about->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  about->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  about->setFrameShape(QFrame::Box);

  tabs_->setCurrentIndex(0);

  connect(connectButton, &QPushButton::clicked, this, &MainWindow::ConnectServer);
  connect(databaseList_, &QListWidget::itemSelectionChanged, this, [this] {
    if (!databaseList_->selectedItems().isEmpty()) ChooseDatabase();
  });
  connect(tableList_, &QListWidget::itemSelectionChanged, this, [this] {
    if (!tableList_->selectedItems().isEmpty()) ChooseTable();
  });
  connect(generateButton, &QPushButton::clicked, this, &MainWindow::GenerateAll);
  connect(copy3, &QPushButton::clicked, this, [this] { CopyPane(customTypePane_); });
  connect(copy4, &QPushButton::clicked, this, [this] { CopyPane(classModulePane_); });
  connect(copy5, &QPushButton::clicked, this, [this] { CopyPane(setClassPane_); });
  connect(copy6, &QPushButton::clicked, this, [this] { CopyPane(csharpEntityPane_); });
  connect(copy7, &QPushButton::clicked, this, [this] { CopyPane(csharpOperationPane_); });
  connect(closeButton, &QPushButton::clicked, this, &MainWindow::CloseMainWindow);
}

QWidget* MainWindow::Page(int index) { return tabs_->widget(index); }

// Controls are positioned relative to the tab control, as in the window definition; the
// page widgets sit below the tab bar, so the offset is taken off once the tabs are laid out.
template <typename W>
W* MainWindow::Place(W* widget, const char* name, int page, int left, int top, int width,
                     int height) {
  widget->setParent(Page(page));
  widget->setObjectName(QString::fromUtf8(name));
  widget->setProperty("tabPosition", QPoint(left, top));
  widget->setGeometry(left, top, width, height);
  return widget;
}

QLabel* MainWindow::AddLabel(const char* name, int page, QRect g, const QString& text) {
  return Place(new QLabel(text), name, page, g.x(), g.y(), g.width(), g.height());
}

QPushButton* MainWindow::AddButton(const char* name, int page, QRect g, const QString& text) {
  return Place(new QPushButton(text), name, page, g.x(), g.y(), g.width(), g.height());
}

QPlainTextEdit* MainWindow::AddPane(const char* name, int page, QRect g) {
  auto* pane = Place(new QPlainTextEdit, name, page, g.x(), g.y(), g.width(), g.height());
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
  const std::optional<ServerAddress> address = ReadAddress(hostBox_->text());
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
  RefillList(tableList_, result.tables, false);
}

void MainWindow::ChooseTable() {
  const BusyCursor busy;
  ClearList(columnList_);
  const std::vector<std::string> lines =
      kelvane::ChooseTable(state_.session, SelectedTableName(), state_.fields);
  RefillList(columnList_, lines, false);
}

void MainWindow::GenerateAll() {
  if (tableList_->selectedItems().isEmpty()) return;
  GenerateCustomType();
  GenerateClassModule();
  GenerateSetClass();
  GenerateCSharpEntity();
  GenerateCSharpOperation();
  tabs_->setCurrentIndex(2);
}

void MainWindow::FillPane(QPlainTextEdit* pane, Pane kind) {
  pane->setPlainText(FromUtf8(BuildPaneText(kind, SelectedTableName(), state_.fields)));
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
  clipboard->setText(FromUtf8(PaneText(pane)));
}

void MainWindow::CloseMainWindow() { close(); }

}  // namespace kelvane
