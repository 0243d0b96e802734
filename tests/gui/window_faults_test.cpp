// The window stays usable when the server misbehaves.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "app/main_window.h"
#include "schema/mysql_access.h"
#include "support/silent_listener.h"

class WindowFaultsTest : public QObject {
  Q_OBJECT

 private slots:
  // A peer that accepts TCP and never speaks: while the connect waits, the window keeps
  // taking events and shows the busy cursor, and clicks that would start a second command do
  // nothing; the connect gives up after its deadline and the window works on.
  void silentPeerLeavesTheWindowAnsweringAndFailsInTime() {
    const kelvane::testing::SilentListener peer;
    const int fd = peer.fd();
    fcntl(fd, F_SETFL, O_NONBLOCK);

    kelvane::MainWindow window(peer.port());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* tabs = window.findChild<QTabWidget*>("选择夹1");
    QElapsedTimer timer;
    timer.start();
    QTest::mouseClick(window.findChild<QPushButton*>("按钮1"), Qt::LeftButton);
    QVERIFY(timer.elapsed() < 1000);
    QVERIFY(window.core().busy());
    QVERIFY(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
    int came = -1;
    QTRY_VERIFY_WITH_TIMEOUT(came >= 0 || (came = accept(fd, nullptr, nullptr)) >= 0, 3000);

    // A timer still fires, pages still switch; 按钮1 again starts no second connection.
    bool fired = false;
    QTimer::singleShot(50, [&fired] { fired = true; });
    QTRY_VERIFY_WITH_TIMEOUT(fired, 1000);
    tabs->setCurrentIndex(5);
    QTest::mouseClick(window.findChild<QPushButton*>("按钮1"), Qt::LeftButton);
    QTest::qWait(300);
    QVERIFY(accept(fd, nullptr, nullptr) < 0);
    QVERIFY(window.core().busy());

    QVERIFY(window.WaitUntilIdle((kelvane::kConnectTimeoutSeconds + 3) * 1000));
    QVERIFY(timer.elapsed() <= qint64(kelvane::kConnectTimeoutSeconds + 3) * 1000);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(window.findChild<QLabel*>("标签4")->text(), QString("连接失败"));
    QCOMPARE(window.findChild<QListWidget*>("选择列表框1")->count(), 0);
    QCOMPARE(tabs->currentIndex(), 5);  // a failed connect switches no page
    close(came);

    // Still usable: generate without a table does nothing.
    tabs->setCurrentIndex(1);
    QTest::mouseClick(window.findChild<QPushButton*>("按钮2"), Qt::LeftButton);
    QVERIFY(window.WaitUntilIdle());
    QCOMPARE(tabs->currentIndex(), 1);
  }

  // What the IP box cannot use never starts a connection: not even to 0.0.0.0, which would
  // reach this machine. A listener on the loopback port named sees nobody come.
  void unusableAddressesStartNoConnection() {
    const kelvane::testing::SilentListener listener;
    const int fd = listener.fd();
    fcntl(fd, F_SETFL, O_NONBLOCK);
    const QString port = QString::number(listener.port());

    kelvane::MainWindow window(listener.port());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* box = window.findChild<QLineEdit*>("IP编辑框_ip地址");
    // Set directly, past the box's own refusals, as pasted or programmatic text could be.
    const QStringList texts = {"", "0.0.0.0", "0:" + port, "0.0:" + port, "[::]:" + port, "::",
                               "local host:" + port, "127.0.0.1:0", "127.0.0.1:99999",
                               "127.0.0.1:" + port + "x", "[::1]x"};
    for (const QString& text : texts) {
      box->setText(text);
      QTest::mouseClick(window.findChild<QPushButton*>("按钮1"), Qt::LeftButton);
      QVERIFY(window.WaitUntilIdle());
      QCOMPARE(window.findChild<QLabel*>("标签4")->text(), QString("连接失败"));
      QVERIFY2(accept(fd, nullptr, nullptr) < 0, qPrintable("a connection came for " + text));
    }
  }
};

QTEST_MAIN(WindowFaultsTest)
#include "window_faults_test.moc"
