// QtTray: what the window learns from pointer actions on the icon, and
// showing and removing it.

#include "qttray.h"

#include <QCursor>
#include <QPixmap>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

class TestQtTray : public QObject
{
    Q_OBJECT

private slots:
    void activation_data();
    void activation();
    void showAndRemove();
};

void TestQtTray::activation_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<int>("doubleClicks");
    QTest::addColumn<int>("rightClicks");

    QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick) << 1 << 0;
    QTest::newRow("context (right click)") << int(QSystemTrayIcon::Context) << 0 << 1;
    QTest::newRow("single click") << int(QSystemTrayIcon::Trigger) << 0 << 0;
    QTest::newRow("middle click") << int(QSystemTrayIcon::MiddleClick) << 0 << 0;
    QTest::newRow("unknown") << int(QSystemTrayIcon::Unknown) << 0 << 0;
}

void TestQtTray::activation()
{
    QFETCH(int, reason);
    QFETCH(int, doubleClicks);
    QFETCH(int, rightClicks);

    QtTray tray;
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    tray.show(QIcon(pixmap), QStringLiteral("沐弦音乐盒"));
    auto *icon = tray.findChild<QSystemTrayIcon *>();
    QVERIFY(icon);
    QSignalSpy doubleSpy(&tray, &Tray::doubleClicked);
    QSignalSpy rightSpy(&tray, &Tray::rightClicked);

    const QPoint pointer(123, 45);
    QCursor::setPos(pointer);
    emit icon->activated(QSystemTrayIcon::ActivationReason(reason));

    QCOMPARE(doubleSpy.count(), doubleClicks);
    QCOMPARE(rightSpy.count(), rightClicks);
    if (rightClicks > 0)
        QCOMPARE(rightSpy.at(0).at(0).toPoint(), pointer);
}

void TestQtTray::showAndRemove()
{
    QtTray tray;
    // Nothing is asked of the desktop before the first show.
    QVERIFY(!tray.findChild<QSystemTrayIcon *>());
    QVERIFY(!tray.isShown());
    tray.remove();

    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    tray.show(QIcon(pixmap), QStringLiteral("沐弦音乐盒"));
    auto *icon = tray.findChild<QSystemTrayIcon *>();
    QVERIFY(icon);
    QVERIFY(tray.isShown());
    QCOMPARE(icon->toolTip(), QStringLiteral("沐弦音乐盒"));
    QVERIFY(!icon->icon().isNull());
    QCOMPARE(icon->contextMenu(), nullptr); // the window pops up its own menu

    tray.remove();
    QVERIFY(!tray.isShown());
}

QTEST_MAIN(TestQtTray)
#include "tst_qttray.moc"
