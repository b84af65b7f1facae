// The volume thumb and the mute button without a window: the arithmetic,
// the one-pixel steps and stops, and what reaches the system volume.
#include "fakedialogs.h"
#include "fakesystemvolume.h"
#include "volumecontrol.h"

#include <QSignalSpy>
#include <QtTest>

class VolumeControlTest : public QObject
{
    Q_OBJECT
private slots:
    void levels_data();
    void levels();
    void startUpSetsTheDesignVolumeOnce();
    void dragMovesOnePixelPerEvent();
    void dragStopsAtBothEnds();
    void beyondTheThumbOrWithoutAPressNothingHappens();
    void failuresAreToldOncePerDrag();
    void muteTogglesTheSystemMute();
};

void VolumeControlTest::levels_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("use"); // 0 drag, 1 start-up
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    QTest::newRow("start-up at the design offset") << -13 << 1 << 33050 << 33069;
    QTest::newRow("drag at the design offset") << -13 << 0 << 46270 << 46296;
    QTest::newRow("left stop") << -48 << 0 << 0 << 0;
    QTest::newRow("right stop") << 12 << 0 << 79320 << 79365;
    QTest::newRow("half rounds away from zero") << -46 << 0 << 2644 << 2646;
}

void VolumeControlTest::levels()
{
    QFETCH(int, offset);
    QFETCH(int, use);
    QFETCH(int, left);
    QFETCH(int, right);
    const auto levels = VolumeControl::volumeLevel(offset, use ? VolumeControl::Use::StartUp : VolumeControl::Use::Drag);
    QCOMPARE(levels, (VolumeControl::Levels{left, right}));
}

void VolumeControlTest::startUpSetsTheDesignVolumeOnce()
{
    FakeSystemVolume volume;
    FakeDialogs dialogs;
    VolumeControl control(volume, dialogs);
    control.initVolume();
    QCOMPARE(volume.calls(), (QStringList{"open", "volume=33050,33069", "close"}));

    // Without a sound server: the warning, and start-up goes on.
    FakeSystemVolume none;
    none.setOpenSucceeds(false);
    VolumeControl silent(none, dialogs);
    silent.initVolume();
    QCOMPARE(none.calls(), QStringList{"open"});
    QCOMPARE(dialogs.messages(), (QList<FakeDialogs::Message>{{QString(), QStringLiteral("系统音量打开失败!"),
                                                                Dialogs::Icon::Warning}}));
}

void VolumeControlTest::dragMovesOnePixelPerEvent()
{
    FakeSystemVolume volume;
    FakeDialogs dialogs;
    VolumeControl control(volume, dialogs);
    QSignalSpy moved(&control, &VolumeControl::thumbOffsetChanged);

    // A press and a release without movement change nothing.
    control.pressThumb(30);
    control.releaseThumb();
    QVERIFY(volume.calls().isEmpty());

    control.pressThumb(30);
    control.moveThumb(60); // far right of the grab point: one pixel only
    QCOMPARE(control.thumbOffset(), -12);
    control.moveThumb(10); // left of the grab point: back one pixel
    QCOMPARE(control.thumbOffset(), -13);
    control.moveThumb(30); // at the grab point: stays, the volume is still set
    QCOMPARE(control.thumbOffset(), -13);
    QCOMPARE(volume.calls(), (QStringList{"open", "volume=47592,47619", "close", "open", "volume=46270,46296",
                                          "close", "open", "volume=46270,46296", "close"}));
    QCOMPARE(moved.size(), 2);
    control.releaseThumb();

    // Within the thumb's first 12 pixels a move to the right does not move it.
    volume.clearCalls();
    control.pressThumb(2);
    control.moveThumb(12);
    QCOMPARE(control.thumbOffset(), -13);
    QCOMPARE(volume.calls().size(), 3);
    control.moveThumb(13);
    QCOMPARE(control.thumbOffset(), -12);
}

void VolumeControlTest::dragStopsAtBothEnds()
{
    FakeSystemVolume volume;
    FakeDialogs dialogs;
    VolumeControl control(volume, dialogs);
    control.pressThumb(35);
    for (int i = 0; i < 100; ++i)
        control.moveThumb(0);
    QCOMPARE(control.thumbOffset(), -48);
    QCOMPARE(volume.calls().at(volume.calls().size() - 2), QStringLiteral("volume=0,0"));
    for (int i = 0; i < 100; ++i)
        control.moveThumb(69);
    QCOMPARE(control.thumbOffset(), 12);
    QCOMPARE(volume.calls().at(volume.calls().size() - 2), QStringLiteral("volume=79320,79365"));
}

void VolumeControlTest::beyondTheThumbOrWithoutAPressNothingHappens()
{
    FakeSystemVolume volume;
    FakeDialogs dialogs;
    VolumeControl control(volume, dialogs);
    control.moveThumb(40); // no press
    control.pressThumb(30);
    control.moveThumb(75); // at or beyond the right edge
    control.moveThumb(70);
    control.releaseThumb();
    control.moveThumb(10); // released
    QCOMPARE(control.thumbOffset(), -13);
    QVERIFY(volume.calls().isEmpty());
}

void VolumeControlTest::failuresAreToldOncePerDrag()
{
    FakeSystemVolume volume;
    volume.setOpenSucceeds(false);
    FakeDialogs dialogs;
    VolumeControl control(volume, dialogs);
    control.pressThumb(30);
    for (int x : {40, 50, 20})
        control.moveThumb(x);
    QCOMPARE(volume.openCount(), 3);
    QCOMPARE(dialogs.messages().size(), 1);
    // The thumb still follows the pointer; the next drag may tell again.
    QCOMPARE(control.thumbOffset(), -12);
    control.releaseThumb();
    control.pressThumb(30);
    control.moveThumb(40);
    QCOMPARE(dialogs.messages().size(), 2);
}

void VolumeControlTest::muteTogglesTheSystemMute()
{
    FakeSystemVolume volume;
    FakeDialogs dialogs;
    VolumeControl control(volume, dialogs);
    control.toggleMute(true);
    control.toggleMute(false);
    QCOMPARE(volume.calls(), (QStringList{"open", "mute=1", "close", "open", "mute=0", "close"}));
    QCOMPARE(control.thumbOffset(), -13);
    volume.setOpenSucceeds(false);
    control.toggleMute(true);
    QCOMPARE(dialogs.messages().size(), 1);
}

QTEST_GUILESS_MAIN(VolumeControlTest)
#include "tst_volumecontrol.moc"
