// The window as a user drives it, offscreen, against the real test server.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTabWidget>
#include <QtTest>
#include <memory>

#include "ui/about_text.h"
#include "app/main_window.h"
#include "generators/generators.h"
#include "support/server_env.h"
#include "text/text.h"
#include "ui/window_definition.h"

using kelvane::MainWindow;
using kelvane::testing::kTestPassword;
using kelvane::testing::TestPort;
using kelvane::testing::TlsTestPort;

namespace {

std::string Utf8(const QString& text) { return text.toStdString(); }

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<MainWindow> window_;

  template <typename W>
  W* Find(const char* name) {
    W* widget = window_->findChild<W*>(QString::fromUtf8(name));
    if (!widget) qFatal("control %s not found", name);
    return widget;
  }
  QTabWidget* Tabs() { return Find<QTabWidget>("选择夹1"); }
  QListWidget* List(const char* name) { return Find<QListWidget>(name); }
  QPlainTextEdit* Pane(const char* name) { return Find<QPlainTextEdit>(name); }
  QString Status() { return Find<QLabel>("标签4")->text(); }
  // Clicks as a user would and waits until the command it started has ended.
  void Click(const char* button) {
    QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton);
    QVERIFY(window_->WaitUntilIdle());
  }
  const kelvane::FieldTable& Fields() { return window_->core().fields(); }
  QLineEdit* IpBox() { return Find<QLineEdit>("IP编辑框_ip地址"); }
  // Types into the IP box as a user would; keystrokes the box refuses are dropped.
  void TypeAddress(const QString& text) {
    IpBox()->selectAll();
    QTest::keyClick(IpBox(), Qt::Key_Delete);
    for (QChar c : text) QTest::sendKeyEvent(QTest::Click, IpBox(), Qt::Key_unknown, QString(c), {});
  }

  QStringList Items(const char* list) {
    QStringList items;
    for (int i = 0; i < List(list)->count(); ++i) items << List(list)->item(i)->text();
    return items;
  }

  // Selects an item as a user would, by clicking it.
  void Choose(const char* list, const QString& text) {
    QListWidget* widget = List(list);
    const auto found = widget->findItems(text, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(QString("no item %1 in %2").arg(text, list)));
    widget->scrollToItem(found.first());
    const QRect rect = widget->visualItemRect(found.first());
    QTest::mouseClick(widget->viewport(), Qt::LeftButton, {}, rect.center());
    QVERIFY(window_->WaitUntilIdle());
    QCOMPARE(widget->currentItem(), found.first());
  }

  void ConnectAndChoose(const char* database, const char* table) {
    Click("按钮1");
    QCOMPARE(Status(), QString("已连接Mysql数据库"));
    Choose("选择列表框1", database);
    if (table) Choose("列表框2", table);
  }

 private slots:
  void init() {
    QVERIFY2(TestPort() != 0 && TlsTestPort() != 0,
             "KELVANE_TEST_PORT / KELVANE_TEST_TLS_PORT are not set: run through scripts/test");
    window_ = std::make_unique<MainWindow>();
    window_->core().KeepColumns();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QCOMPARE(IpBox()->text(), QString("127.0.0.1"));
    TypeAddress(QString("127.0.0.1:%1").arg(TestPort()));
  }

  void cleanup() {
    window_.reset();
  }

  // Every control of the one window definition is built as it says: kind, page, place
  // relative to the tab control, size, text, font F and centring; the rest of the start state.
  void startStateMatchesTheWindowDefinition() {
    const kelvane::ui::WindowDefinition& definition = kelvane::ui::MainWindowDefinition();
    QCOMPARE(Utf8(window_->windowTitle()), std::string(definition.caption));
    QCOMPARE(window_->size(), QSize(definition.outer.width, definition.outer.height));
    QCOMPARE(window_->minimumSize(), window_->maximumSize());
    QCOMPARE(Tabs()->currentIndex(), 0);
    QCOMPARE(Tabs()->count(), int(definition.pageTitles.size()));
    for (int i = 0; i < Tabs()->count(); ++i)
      QCOMPARE(Utf8(Tabs()->tabText(i)), std::string(definition.pageTitles[i]));
    for (const kelvane::ui::Control& control : definition.controls) {
      const std::string name(control.name);
      QWidget* widget = Find<QWidget>(name.c_str());
      const bool onWindow = control.page == kelvane::ui::kOnMainWindow;
      QVERIFY2(widget->parentWidget() == (onWindow ? static_cast<QWidget*>(window_.get())
                                                   : Tabs()->widget(control.page)),
               name.c_str());
      const QPoint origin = onWindow ? widget->pos() : widget->mapTo(Tabs(), QPoint(0, 0));
      QCOMPARE(QRect(origin, widget->size()),
               QRect(control.rect.left, control.rect.top, control.rect.width, control.rect.height));
      if (control.fontF) QCOMPARE(widget->font().pixelSize(), kelvane::ui::kFontF.pixelHeight);
      const QString text = QString::fromUtf8(control.text.data(), qsizetype(control.text.size()));
      using kelvane::ui::Kind;
      switch (control.kind) {
        case Kind::Label:
          QCOMPARE(qobject_cast<QLabel*>(widget)->text(), text);
          QCOMPARE(qobject_cast<QLabel*>(widget)->textFormat(), Qt::PlainText);
          break;
        case Kind::Button:
          QCOMPARE(qobject_cast<QPushButton*>(widget)->text(), text);
          break;
        case Kind::Note:
          QVERIFY(Find<QLabel>(name.c_str())->text().isEmpty());
          break;
        case Kind::CheckBox:
          QCOMPARE(qobject_cast<QCheckBox*>(widget)->text(), text);
          QVERIFY(!qobject_cast<QCheckBox*>(widget)->isChecked());
          break;
        case Kind::Edit:
        case Kind::Password:
          QCOMPARE(qobject_cast<QLineEdit*>(widget)->text(), text);
          QCOMPARE(qobject_cast<QLineEdit*>(widget)->alignment() == Qt::AlignCenter, control.centred);
          break;
        case Kind::AddressBox:  // init() has typed the test server's address
        case Kind::Tabs:
          break;
        case Kind::CheckList:
        case Kind::List:
          QCOMPARE(qobject_cast<QListWidget*>(widget)->count(), 0);
          break;
        case Kind::Pane: {
          auto* pane = qobject_cast<QPlainTextEdit*>(widget);
          QVERIFY(pane->toPlainText().isEmpty());
          QVERIFY(!pane->isReadOnly());
          QCOMPARE(pane->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
          QCOMPARE(pane->lineWrapMode(), QPlainTextEdit::WidgetWidth);
          break;
        }
        case Kind::About:
          QVERIFY(qobject_cast<QPlainTextEdit*>(widget)->isReadOnly());
          QCOMPARE(qobject_cast<QPlainTextEdit*>(widget)->verticalScrollBarPolicy(),
                   Qt::ScrollBarAlwaysOff);
          break;
      }
    }
    QLineEdit* password = Find<QLineEdit>("编辑框_密码");
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    QCOMPARE(password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, password),
             int('*'));
  }

  void aboutPageHasItsShape() {
    const QString about = Pane("编辑框4")->toPlainText();
    QVERIFY(Pane("编辑框4")->isReadOnly());
    const QStringList lines = about.split('\n');
    QCOMPARE(lines.size(), 38);
    QVERIFY(lines[0].startsWith("    ") && !lines[0].startsWith("     "));
    QVERIFY(about.contains("2017/10/15"));
    int last = -1;
    for (const char* heading : {"**** 2018年6月23日更新(ver1.0.4)****", "**** 2018年5月3日更新(ver1.0.3)****",
                                "**** 2018年5月3日更新(ver1.0.2)****", "**** 2018年5月2日更新(ver1.0.1)****",
                                "**** 2018年4月28日更新****"}) {
      const int at = lines.indexOf(QString::fromUtf8(heading));
      QVERIFY2(at > last, heading);
      last = at;
    }
    QCOMPARE(kelvane::CountCrlfLines(kelvane::AboutText()), 37u);
  }

  void ipBoxTakesAddressesWithPortsAndRefusesTheRest() {
    const struct {
      const char* typed;
      const char* shown;  // what the box holds after the refused keystrokes are dropped
      bool usable;
    } cases[] = {
        {"10.0.300.1", "10.0.30.1", true},
        {"10.0", "10.0", true},  // missing parts read as 0
        {" 192.168.1.20 ", " 192.168.1.20 ", true},
        {"db.example.com:3307", "db.example.com:3307", true},
        {"localhost:70000", "localhost:7000", true},
        {"[::1]:3306", "[::1]:3306", true},
        {"fe80::1%eth0", "fe80::1%eth0", true},
        {"[2001:db8::1", "[2001:db8::1", false},
        {"host:0", "host:", false},
        {"my host", "my ", true},  // a space may only end the text
        {"-db", "db", true},
        {"a..b", "a.b", true},
        {"数据库", "", false},
        {"0.0.0.0", "0.0.0.0", false},
        {"[::]:3306", "[::]:3306", false},
        {":3306", ":3306", false},
        {"", "", false},
    };
    for (const auto& c : cases) {
      TypeAddress(QString::fromUtf8(c.typed));
      QCOMPARE(IpBox()->text(), QString::fromUtf8(c.shown));
      QVERIFY2(IpBox()->hasAcceptableInput() == c.usable, c.typed);
      // What cannot be used shows in red.
      QVERIFY2((IpBox()->palette().color(QPalette::Text) == QColor(Qt::red)) == !c.usable, c.typed);
    }
  }

  // Host names and ports typed into the IP box, to the server that accepts only TLS: the
  // window encrypts whenever the server offers it, and "localhost" with a port goes over TCP
  // (the local socket would not reach this server).
  void typedAddressesReachTheTlsOnlyServer() {
    for (const QString& address : {QString("127.0.0.1:%1").arg(TlsTestPort()),
                                   QString("localhost:%1").arg(TlsTestPort())}) {
      Tabs()->setCurrentIndex(0);
      TypeAddress(address);
      ConnectAndChoose("kelvane_shop", "user");
      QVERIFY2(Items("列表框1").contains("price|小数型"), qPrintable(address));
    }
  }

  void connectListsEveryDatabaseAndShowsPageOne() {
    Click("按钮1");
    QCOMPARE(Status(), QString("已连接Mysql数据库"));
    QCOMPARE(Tabs()->currentIndex(), 1);
    const QStringList dbs = Items("选择列表框1");
    for (const char* db : {"information_schema", "kelvane_shop", "kelvane_blog", "mysql"})
      QVERIFY2(dbs.contains(db), db);
    // The check-list items carry unchecked boxes.
    QVERIFY(List("选择列表框1")->item(0)->flags() & Qt::ItemIsUserCheckable);
  }

  void failedConnectEmptiesOnlyTheDatabaseList() {
    ConnectAndChoose("kelvane_shop", "user");
    const QStringList tables = Items("列表框2");
    const QStringList columns = Items("列表框1");
    QVERIFY(!columns.isEmpty());
    Tabs()->setCurrentIndex(0);
    QLineEdit* password = Find<QLineEdit>("编辑框_密码");
    password->setText("wrong");
    Click("按钮1");
    QCOMPARE(Status(), QString("连接失败"));
    QCOMPARE(List("选择列表框1")->count(), 0);
    QCOMPARE(Items("列表框2"), tables);
    QCOMPARE(Items("列表框1"), columns);
    QCOMPARE(Tabs()->currentIndex(), 0);
  }

  void trimmedUserAndPasswordConnect() {
    Find<QLineEdit>("编辑框_用户")->setText("  root　");
    Find<QLineEdit>("编辑框_密码")->setText("　271828 ");
    Click("按钮1");
    QCOMPARE(Status(), QString("已连接Mysql数据库"));
  }

  // The window reads no environment: an empty box is the empty password, which root does not
  // have, even while MYSQL_PWD holds the right one.
  void emptyPasswordBoxIsTheEmptyPassword() {
    qputenv("MYSQL_PWD", kTestPassword);
    Find<QLineEdit>("编辑框_密码")->clear();
    Click("按钮1");
    qunsetenv("MYSQL_PWD");
    QCOMPARE(Status(), QString("连接失败"));
  }

  void choosingDatabasesReplacesTablesAndClearsColumns() {
    ConnectAndChoose("kelvane_shop", "user");
    QCOMPARE(Status(), QString("已连接Mysql数据库:kelvane_shop"));
    QVERIFY(Items("列表框2").contains("my table"));
    QCOMPARE(Items("列表框1"),
             (QStringList{"id|整数型", "name|文本型", "price|小数型", "created|日期时间型", "flag|字节型", "X|整数型"}));
    Choose("选择列表框1", "kelvane_blog");
    QCOMPARE(Status(), QString("已连接Mysql数据库:kelvane_blog"));
    QCOMPARE(Items("列表框2"), (QStringList{"comment", "post"}));
    QCOMPARE(List("列表框1")->count(), 0);
    // A failing database choice also clears the column list.
    Choose("列表框2", "post");
    QVERIFY(List("列表框1")->count() > 0);
    Find<QLineEdit>("编辑框_密码")->setText("wrong");
    Choose("选择列表框1", "kelvane_shop");
    QCOMPARE(Status(), QString("连接失败"));
    QCOMPARE(List("列表框2")->count(), 0);
    QCOMPARE(List("列表框1")->count(), 0);
  }

  void selectingAColumnChangesNothing() {
    ConnectAndChoose("kelvane_shop", "user");
    const QStringList before = Items("列表框1");
    const QString status = Status();
    Choose("列表框1", "name|文本型");
    QCOMPARE(Items("列表框1"), before);
    QCOMPARE(Status(), status);
    QCOMPARE(Fields().size(), std::size_t(6));
  }

  void generateWithoutATableChangesNothing() {
    Click("按钮2");
    QCOMPARE(Tabs()->currentIndex(), 0);
    ConnectAndChoose("kelvane_shop", nullptr);
    Pane("编辑框1")->setPlainText("keep");
    Click("按钮2");
    QCOMPARE(Tabs()->currentIndex(), 1);
    QCOMPARE(Pane("编辑框1")->toPlainText(), QString("keep"));
    QVERIFY(Pane("编辑框3")->toPlainText().isEmpty());
  }

  void generateFillsEveryPaneAndCopiesExactBytes() {
    ConnectAndChoose("kelvane_shop", "user");
    QCOMPARE(Tabs()->currentIndex(), 1);
    Click("按钮2");
    QCOMPARE(Tabs()->currentIndex(), 2);
    const struct {
      const char* pane;
      const char* button;
      int page;
      kelvane::Pane kind;
    } panes[] = {{"编辑框1", "按钮3", 2, kelvane::Pane::CustomType},
                 {"编辑框2", "按钮4", 2, kelvane::Pane::ClassModule},
                 {"编辑框3", "按钮5", 3, kelvane::Pane::SetClass},
                 {"编辑框_C类", "按钮6", 4, kelvane::Pane::CSharpEntity},
                 {"编辑框_C操作类", "按钮7", 4, kelvane::Pane::CSharpOperation}};
    // The panes of pages nobody has looked at yet get their texts when their page shows.
    QVERIFY(Pane("编辑框3")->document()->isEmpty());
    for (const auto& p : panes) {
      const std::string expected = kelvane::BuildPaneText(p.kind, "user", Fields());
      QVERIFY(!expected.empty());
      QApplication::clipboard()->setText("stale");
      Tabs()->setCurrentIndex(p.page);
      Click(p.button);
      QCOMPARE(Utf8(QApplication::clipboard()->text()), expected);
      QCOMPARE(MainWindow::PaneText(Pane(p.pane)), expected);
    }
    QCOMPARE(Tabs()->currentIndex(), 4);  // copying does not switch pages

    // A second run replaces, never appends.
    const QString first = Pane("编辑框3")->toPlainText();
    Tabs()->setCurrentIndex(1);
    Click("按钮2");
    QCOMPARE(Tabs()->currentIndex(), 2);
    Tabs()->setCurrentIndex(3);
    QCOMPARE(Pane("编辑框3")->toPlainText(), first);
  }

  void copyTakesHandEditsAndEmptyPanes() {
    QApplication::clipboard()->setText("stale");
    Click("按钮5");
    QCOMPARE(QApplication::clipboard()->text(), QString());
    Pane("编辑框1")->setPlainText("a b\nc\u00a0d");
    Click("按钮3");
    QCOMPARE(Utf8(QApplication::clipboard()->text()), std::string("a b\r\nc\u00a0d"));
  }

  void generatingForAChineseTable() {
    ConnectAndChoose("kelvane_shop", "用户表");
    Click("按钮2");
    Click("按钮3");
    QCOMPARE(Utf8(QApplication::clipboard()->text()),
             kelvane::BuildCustomTypeText("用户表", Fields()));
    QVERIFY(QApplication::clipboard()->text().contains(".数据类型 用户表\r\n"));
    // Typed into after generating, a pane copies what it holds now.
    Pane("编辑框1")->moveCursor(QTextCursor::End);
    QTest::keyClicks(Pane("编辑框1"), "x");
    Click("按钮3");
    QCOMPARE(Utf8(QApplication::clipboard()->text()),
             kelvane::BuildCustomTypeText("用户表", Fields()) + "x");
  }

  // 标签_主键提示 names the real key when the first column is not it, and is empty otherwise;
  // 选择框_注释 puts the comments into the texts only while it is checked.
  void keyWarningAndCommentsOnPageOne() {
    QLabel* warning = Find<QLabel>("标签_主键提示");
    ConnectAndChoose("kelvane_cli_keys", "user");
    QCOMPARE(Utf8(warning->text()),
             std::string("注意：首列“id”不是主键（主键为“name”），库_删/库_改/库_查按首列找记录。"));
    QCOMPARE(Tabs()->currentIndex(), 1);
    Choose("列表框2", "unique_first");
    QCOMPARE(warning->text(), QString());
    Choose("列表框2", "commented");
    QCOMPARE(warning->text(), QString());
    Click("按钮2");
    const std::string plain = MainWindow::PaneText(Pane("编辑框1"));
    QCOMPARE(plain, kelvane::BuildCustomTypeText("commented", Fields()));
    QTest::mouseClick(Find<QCheckBox>("选择框_注释"), Qt::LeftButton, {}, QPoint(4, 12));
    QVERIFY(Find<QCheckBox>("选择框_注释")->isChecked());
    Click("按钮2");
    const std::string remarked = MainWindow::PaneText(Pane("编辑框1"));
    QVERIFY(remarked.find("    .成员 id,整数型,,,编号\r\n") != std::string::npos);
    Tabs()->setCurrentIndex(4);
    QVERIFY(MainWindow::PaneText(Pane("编辑框_C类")).find("    /// 第一行 第二行 完\r\n") != std::string::npos);
    QCOMPARE(warning->text(), QString());
  }

  void hostileNamesTravelUnchangedThroughTheWindow() {
    const QString db = QString::fromUtf8("kelvane hostile `q' \"%\\ 库");
    ConnectAndChoose(db.toUtf8().constData(), nullptr);
    QCOMPARE(Status(), "已连接Mysql数据库:" + db);
    const QStringList tables = Items("列表框2");
    QCOMPARE(tables.size(), 6);
    for (const QString& table : tables) {
      Tabs()->setCurrentIndex(1);
      Choose("列表框2", table);
      QVERIFY2(List("列表框1")->count() >= 2, qPrintable(table));
      Click("按钮2");
      Click("按钮3");
      const std::string copied = Utf8(QApplication::clipboard()->text());
      QCOMPARE(copied, kelvane::BuildCustomTypeText(Utf8(table), Fields()));
      QVERIFY(copied.find(".数据类型 " + Utf8(table) + "\r\n") != std::string::npos);
      const QString firstColumn = List("列表框1")->item(0)->text().section('|', 0, 0);
      QVERIFY(copied.find("    .成员 " + Utf8(firstColumn) + ",") != std::string::npos);
    }
  }

  void statusShowsMarkupInNamesAsText() {
    ConnectAndChoose("kelvane_<b>x</b>", nullptr);
    QLabel* status = Find<QLabel>("标签4");
    QCOMPARE(status->text(), QString("已连接Mysql数据库:kelvane_<b>x</b>"));
    // Taken as markup, the tags would vanish and the label would need less room.
    QVERIFY(status->sizeHint().width() >= status->fontMetrics().horizontalAdvance(status->text()));
  }

  void closeButtonClosesTheWindow() {
    ConnectAndChoose("kelvane_shop", nullptr);
    QVERIFY(window_->isVisible());
    Click("按钮_关闭");
    QVERIFY(!window_->isVisible());
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
