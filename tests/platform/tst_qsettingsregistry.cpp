// QSettingsRegistry on real INI files in a temporary folder.

#include "qsettingsregistry.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString optionKey = QStringLiteral("Software\\Velmp3");
}

class TestQSettingsRegistry : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void defaultStoreIsUserIniFile();
    void missingValueReadsEmpty();
    void roundTrip_data();
    void roundTrip();
    void valuesAreSeparatedByKeyAndName();
    void failedWriteReportsFalse();

private:
    QTemporaryDir m_configHome;
    QTemporaryDir m_dir;
};

void TestQSettingsRegistry::initTestCase()
{
    QVERIFY(m_configHome.isValid());
    QVERIFY(m_dir.isValid());
    // Before the first QSettings of the process: QSettings takes the user's
    // configuration folder from here once.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_configHome.path()));
}

void TestQSettingsRegistry::defaultStoreIsUserIniFile()
{
#ifdef Q_OS_WIN
    QSKIP("the default store is the registry under HKEY_LOCAL_MACHINE");
#else
    QSettingsRegistry registry;
    QVERIFY(registry.writeString(optionKey, QStringLiteral("Lx"), QStringLiteral("真")));
    const QString file = m_configHome.filePath(QStringLiteral("Velmp3/Velmp3.ini"));
    QVERIFY2(QFile::exists(file), qPrintable(file));

    // The same value through an explicit instance on that file, under the key's group.
    QSettingsRegistry sameFile(file);
    QCOMPARE(sameFile.readString(optionKey, QStringLiteral("Lx")), QStringLiteral("真"));
#endif
}

void TestQSettingsRegistry::missingValueReadsEmpty()
{
    const QString path = m_dir.filePath(QStringLiteral("missing.ini"));
    QSettingsRegistry registry(path);
    QCOMPARE(registry.readString(optionKey, QStringLiteral("Lx")), QString());
    QVERIFY(!QFile::exists(path)); // reading creates nothing

    // A file that exists but lacks the value.
    QVERIFY(registry.writeString(optionKey, QStringLiteral("SJ"), QStringLiteral("假")));
    QCOMPARE(registry.readString(optionKey, QStringLiteral("Lx")), QString());
}

void TestQSettingsRegistry::roundTrip_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("真") << QStringLiteral("真");
    QTest::newRow("假") << QStringLiteral("假");
    QTest::newRow("looks like a list") << QStringLiteral("真, 假");
    QTest::newRow("leading at sign") << QStringLiteral("@真");
}

void TestQSettingsRegistry::roundTrip()
{
    QFETCH(QString, value);
    const QString path = m_dir.filePath(QStringLiteral("roundtrip-%1.ini").arg(QTest::currentDataTag()));

    QSettingsRegistry registry(path);
    QVERIFY(registry.writeString(optionKey, QStringLiteral("Lx"), value));
    QCOMPARE(registry.readString(optionKey, QStringLiteral("Lx")), value);

    QSettingsRegistry fresh(path);
    QCOMPARE(fresh.readString(optionKey, QStringLiteral("Lx")), value);

    // Stored as UTF-8 text, readable in the file itself.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains(value.toUtf8()));
}

void TestQSettingsRegistry::valuesAreSeparatedByKeyAndName()
{
    QSettingsRegistry registry(m_dir.filePath(QStringLiteral("separate.ini")));
    QVERIFY(registry.writeString(optionKey, QStringLiteral("Lx"), QStringLiteral("真")));
    QVERIFY(registry.writeString(optionKey, QStringLiteral("SJ"), QStringLiteral("假")));
    QVERIFY(registry.writeString(QStringLiteral("Software\\Other"), QStringLiteral("Lx"), QStringLiteral("假")));

    QCOMPARE(registry.readString(optionKey, QStringLiteral("Lx")), QStringLiteral("真"));
    QCOMPARE(registry.readString(optionKey, QStringLiteral("SJ")), QStringLiteral("假"));
    QCOMPARE(registry.readString(QStringLiteral("Software\\Other"), QStringLiteral("Lx")), QStringLiteral("假"));
    QCOMPARE(registry.readString(QStringLiteral("Software"), QStringLiteral("Lx")), QString());

    // Overwriting replaces the value.
    QVERIFY(registry.writeString(optionKey, QStringLiteral("Lx"), QStringLiteral("假")));
    QCOMPARE(registry.readString(optionKey, QStringLiteral("Lx")), QStringLiteral("假"));
}

void TestQSettingsRegistry::failedWriteReportsFalse()
{
    // The file's folder is a plain file, so the store cannot be written.
    const QString blocker = m_dir.filePath(QStringLiteral("blocker"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QSettingsRegistry registry(blocker + QStringLiteral("/Velmp3.ini"));
    QVERIFY(!registry.writeString(optionKey, QStringLiteral("Lx"), QStringLiteral("真")));
    QCOMPARE(registry.readString(optionKey, QStringLiteral("Lx")), QString());
}

QTEST_GUILESS_MAIN(TestQSettingsRegistry)
#include "tst_qsettingsregistry.moc"
