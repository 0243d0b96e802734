// The window stays usable when the server misbehaves.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <fcntl.h>
#include <sys/socket.h>

#include "app/main_window.h"
#include "support/silent_listener.h"

class WindowFaultsTest : public QObject {
  Q_OBJECT

 private slots:
  // A peer that accepts TCP and never speaks: the connect step gives up after its timeout
  // and the window keeps working.
  void silentPeerFailsInTimeAndLeavesTheWindowUsable() {
    const kelvane::testing::SilentListener peer;

    kelvane::AppState state;
    kelvane::MainWindow window(state, peer.port());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QElapsedTimer timer;
    timer.start();
    QTest::mouseClick(window.findChild<QPushButton*>("按钮1"), Qt::LeftButton);
    QVERIFY(timer.elapsed() <= qint64(kelvane::kConnectTimeoutSeconds + 2) * 1000);
    QCOMPARE(window.findChild<QLabel*>("标签4")->text(), QString("连接失败"));
    QCOMPARE(window.findChild<QListWidget*>("选择列表框1")->count(), 0);
    QCOMPARE(state.session.handle(), 0);

    // Still responsive: pages switch, generate without a table does nothing.
    auto* tabs = window.findChild<QTabWidget*>("选择夹1");
    tabs->setCurrentIndex(1);
    QTest::mouseClick(window.findChild<QPushButton*>("按钮2"), Qt::LeftButton);
    QCOMPARE(tabs->currentIndex(), 1);
  }

  // What the IP box cannot use never starts a connection: not even to 0.0.0.0, which would
  // reach this machine. A listener on the loopback port named sees nobody come.
  void unusableAddressesStartNoConnection() {
    const kelvane::testing::SilentListener listener;
    const int fd = listener.fd();
    fcntl(fd, F_SETFL, O_NONBLOCK);
    const QString port = QString::number(listener.port());

    kelvane::AppState state;
    kelvane::MainWindow window(state, listener.port());
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
      QCOMPARE(window.findChild<QLabel*>("标签4")->text(), QString("连接失败"));
      QCOMPARE(state.session.handle(), 0);
      QVERIFY2(accept(fd, nullptr, nullptr) < 0, qPrintable("a connection came for " + text));
    }
  }
};

QTEST_MAIN(WindowFaultsTest)
#include "window_faults_test.moc"
