// QtDialogs: the filter conversion, and the real message box and file dialog
// on the offscreen platform, answered from a timer while they are open.

#include "qtdialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

const QString musicFilter = QStringLiteral("音乐文件(MP3,WMA,WAV,MID)|*.wav;*.mid;*.mp3;*.wma;");

// Waits (polling from the event loop that the modal dialog runs) for a modal
// window to appear, hands it to answer(), and makes sure it closes even when
// answer() fails a check, so that a failing test cannot hang.
void answerModal(std::function<void(QWidget *)> answer)
{
    auto *timer = new QTimer;
    auto *waited = new int(0);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, waited, answer] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal && ++*waited < 500)
            return;
        timer->stop();
        timer->deleteLater();
        delete waited;
        if (!modal)
            return;
        answer(modal);
        if (auto *dialog = qobject_cast<QDialog *>(modal); dialog && dialog->isVisible())
            dialog->reject();
    });
    timer->start();
}

} // namespace

class TestQtDialogs : public QObject
{
    Q_OBJECT

private slots:
    void filterConversion_data();
    void filterConversion();
    void messageBox_data();
    void messageBox();
    void openFileReturnsChosenPath();
    void saveFileProposesNameAndCancelGivesEmpty();
};

void TestQtDialogs::filterConversion_data()
{
    QTest::addColumn<QString>("windows");
    QTest::addColumn<QString>("qt");

    QTest::newRow("music files") << musicFilter
                                 << QStringLiteral("音乐文件(MP3,WMA,WAV,MID) (*.wav *.mid *.mp3 *.wma)");
    QTest::newRow("no closing bar") << QStringLiteral("音乐文件|*.mp3;*.wma")
                                    << QStringLiteral("音乐文件 (*.mp3 *.wma)");
    QTest::newRow("two filters")
        << QStringLiteral("MP3文件(*.mp3)|*.mp3|所有文件(*.*)|*.*|")
        << QStringLiteral("MP3文件(*.mp3) (*.mp3);;所有文件(*.*) (*.*)");
    QTest::newRow("spaces around patterns") << QStringLiteral("歌曲| *.mp3 ; *.wma ;|")
                                            << QStringLiteral("歌曲 (*.mp3 *.wma)");
    QTest::newRow("description without patterns") << QStringLiteral("歌曲|") << QStringLiteral("歌曲 (*)");
    QTest::newRow("patterns without description") << QStringLiteral("|*.mp3|")
                                                  << QStringLiteral("(*.mp3)");
    QTest::newRow("already Qt style") << QStringLiteral("歌曲 (*.mp3)") << QStringLiteral("歌曲 (*.mp3)");
    QTest::newRow("empty") << QString() << QString();
}

void TestQtDialogs::filterConversion()
{
    QFETCH(QString, windows);
    QFETCH(QString, qt);
    QCOMPARE(qtFileFilter(windows), qt);
}

void TestQtDialogs::messageBox_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("expectedIcon");

    QTest::newRow("none") << int(Dialogs::Icon::None) << int(QMessageBox::NoIcon);
    QTest::newRow("information") << int(Dialogs::Icon::Information) << int(QMessageBox::Information);
    QTest::newRow("warning") << int(Dialogs::Icon::Warning) << int(QMessageBox::Warning);
    QTest::newRow("critical") << int(Dialogs::Icon::Critical) << int(QMessageBox::Critical);
}

void TestQtDialogs::messageBox()
{
    QFETCH(int, icon);
    QFETCH(int, expectedIcon);

    QString title, text;
    int shownIcon = -1;
    QList<QAbstractButton *> buttons;
    bool okButton = false;
    answerModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box)
            return;
        title = box->windowTitle();
        text = box->text();
        shownIcon = box->icon();
        buttons = box->buttons();
        okButton = box->button(QMessageBox::Ok) != nullptr;
        box->button(QMessageBox::Ok)->click();
    });

    QtDialogs dialogs;
    dialogs.message(QStringLiteral("提示"), QStringLiteral("系统音量打开失败!"), Dialogs::Icon(icon));

    QCOMPARE(title, QStringLiteral("提示"));
    QCOMPARE(text, QStringLiteral("系统音量打开失败!"));
    QCOMPARE(shownIcon, expectedIcon);
    QCOMPARE(buttons.size(), 1);
    QVERIFY(okButton);
}

void TestQtDialogs::openFileReturnsChosenPath()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString song = dir.filePath(QStringLiteral("歌曲.mp3"));
    QFile file(song);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QString title;
    QStringList filters;
    answerModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog)
            return;
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        dialog->selectFile(song);
        static_cast<QDialog *>(dialog)->accept(); // public in QDialog
    });

    QtDialogs dialogs;
    // At first the dialog starts in the user's music folder (or home).
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    QCOMPARE(dialogs.openFolder(),
             QFileInfo(music).isDir() ? music : QStandardPaths::writableLocation(QStandardPaths::HomeLocation));
    const QString chosen = dialogs.openFile(QStringLiteral("打开"), musicFilter);

    QCOMPARE(title, QStringLiteral("打开"));
    QCOMPARE(filters, QStringList{QStringLiteral("音乐文件(MP3,WMA,WAV,MID) (*.wav *.mid *.mp3 *.wma)")});
    QCOMPARE(chosen, song);
    // Then where the last file came from, for the rest of the run.
    QCOMPARE(dialogs.openFolder(), dir.path());
}

void TestQtDialogs::saveFileProposesNameAndCancelGivesEmpty()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString proposed = dir.filePath(QStringLiteral("周杰伦-晴天.mp3"));

    QString selected;
    answerModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog)
            return;
        selected = dialog->selectedFiles().value(0);
        dialog->reject();
    });

    QtDialogs dialogs;
    const QString chosen = dialogs.saveFile(QStringLiteral("保存"), musicFilter, proposed);

    QCOMPARE(selected, proposed);
    QCOMPARE(chosen, QString());
}

QTEST_MAIN(TestQtDialogs)
#include "tst_qtdialogs.moc"
