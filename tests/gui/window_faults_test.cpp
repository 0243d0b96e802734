// The window stays usable when the server misbehaves.
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "app/main_window.h"

class WindowFaultsTest : public QObject {
  Q_OBJECT

 private slots:
  // A peer that accepts TCP and never speaks: the connect step gives up after its timeout
  // and the window keeps working.
  void silentPeerFailsInTimeAndLeavesTheWindowUsable() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QVERIFY(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0);
    QVERIFY(listen(fd, 4) == 0);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);

    kelvane::AppState state;
    kelvane::MainWindow window(state, ntohs(addr.sin_port));
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
    close(fd);
  }
};

QTEST_MAIN(WindowFaultsTest)
#include "window_faults_test.moc"
