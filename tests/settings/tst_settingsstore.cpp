#include <QFile>
#include <QTest>

#include "settings/cappsettings.h"
#include "settings/csettingsstore.h"
#include "settings/settingstestutil.h"

using namespace settingstest;

namespace {

struct Field {
    const char* key;
    int defaultValue;
    int CAppSettings::*member;
};

// The record's integer fields as stored, with their defaults.
const QList<Field> kFields{
    {"SlideShow/Select", 0, &CAppSettings::Select},
    {"SlideShow/Around", 1, &CAppSettings::Around},
    {"Browser/DontScanHeaders", 1, &CAppSettings::DontScanHeaders},
    {"Browser/DoubleClick", 1, &CAppSettings::DoubleClick},
    {"Browser/FullRow", 1, &CAppSettings::FullRow},
    {"Browser/GridLines", 1, &CAppSettings::GridLines},
    {"Browser/HidePreview", 0, &CAppSettings::HidePreview},
    {"Browser/ShowVideo", 1, &CAppSettings::ShowVideo},
    {"Browser/SingleClick", 1, &CAppSettings::SingleClick},
    {"Browser/SavePosition", 1, &CAppSettings::SavePosition},
    {"Browser/ShowHidden", 0, &CAppSettings::ShowHidden},
    {"Browser/ShowNonImages", 1, &CAppSettings::ShowNonImages},
    {"Browser/AutoRefresh", 1, &CAppSettings::AutoRefresh},
    {"Viewer/ViewMode", 0, &CAppSettings::ViewMode},
    {"Browser/KeepThumbnails", 1, &CAppSettings::KeepThumbnails},
};

QByteArray storeFileText()
{
    QFile file(storeFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { clearStore(); }

    void freshStoreGivesDefaults();
    void everyFieldRoundTrips();
    void storedTextLoads_data();
    void storedTextLoads();
    void timerDelay_data();
    void timerDelay();
    void storedFileKeepsIntegers();
    void stringsRoundTrip_data();
    void stringsRoundTrip();
    void handEditedCommasReadBack();
    void binaryRoundTrip();
    void batchSavesOnceAtTheEnd();
};

void TestSettingsStore::freshStoreGivesDefaults()
{
    CAppSettings record;
    record.Timer = QStringLiteral("2500"); // Timer's default is the text it has
    record.LoadSettings();
    QCOMPARE(record.Timer, QStringLiteral("2500"));
    for (const Field& field : kFields)
        QVERIFY2(record.*field.member == field.defaultValue, field.key);
}

void TestSettingsStore::everyFieldRoundTrips()
{
    CAppSettings saved;
    saved.Timer = QStringLiteral("4321");
    for (qsizetype index = 0; index < kFields.size(); ++index)
        saved.*kFields[index].member = 100 + int(index);
    saved.SaveSettings();

    const QSettings file = fileReader();
    QCOMPARE(file.value(QStringLiteral("SlideShow/Timer")).toString(), saved.Timer);
    CAppSettings loaded;
    loaded.LoadSettings();
    QCOMPARE(loaded.Timer, saved.Timer);
    for (const Field& field : kFields) {
        QVERIFY2(file.value(QLatin1String(field.key)).toInt() == saved.*field.member, field.key);
        QVERIFY2(loaded.*field.member == saved.*field.member, field.key);
    }
}

void TestSettingsStore::storedTextLoads_data()
{
    QTest::addColumn<int>("field"); // index into kFields
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("expected");
    // Any non-zero number is set; what is not a whole number in range gives the default.
    QTest::newRow("seven is set") << 4 << "7" << 7;
    QTest::newRow("negative is set") << 10 << "-3" << -3;
    QTest::newRow("zero clears") << 5 << "0" << 0;
    QTest::newRow("word") << 2 << "yes" << 1;
    QTest::newRow("empty") << 1 << "" << 1;
    QTest::newRow("fraction") << 6 << "1.5" << 0;
    QTest::newRow("beyond int") << 12 << "99999999999" << 1;
    QTest::newRow("number then junk") << 13 << "2x" << 0;
}

void TestSettingsStore::storedTextLoads()
{
    QFETCH(int, field);
    QFETCH(QString, stored);
    QFETCH(int, expected);
    fileReader().setValue(QLatin1String(kFields[field].key), stored);
    CAppSettings record;
    record.LoadSettings();
    QCOMPARE(record.*kFields[field].member, expected);
}

void TestSettingsStore::timerDelay_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("delay");
    QTest::newRow("plain") << "1000" << 1000;
    QTest::newRow("leading blanks, trailing text") << " \t 250ms" << 250;
    QTest::newRow("digits stop at a blank") << "12 34" << 12;
    QTest::newRow("plus sign") << "+40" << 40;
    QTest::newRow("negative: no slide show") << "-5" << 0;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("not a number") << "fast" << 0;
    QTest::newRow("sign alone") << "-" << 0;
    QTest::newRow("other digits are not decimal digits") << QString::fromUtf8("\u0663\u0660") << 0;
    QTest::newRow("too large is capped") << "99999999999999999999999" << std::numeric_limits<int>::max();
}

void TestSettingsStore::timerDelay()
{
    QFETCH(QString, text);
    QFETCH(int, delay);
    CAppSettings record;
    record.Timer = text;
    QCOMPARE(record.timerDelay(), delay);
}

void TestSettingsStore::storedFileKeepsIntegers()
{
    QVERIFY(CSettingsStore::WriteProfileInt(QStringLiteral("Browser"), QStringLiteral("FullRow"), 7));
    QVERIFY2(storeFileText().contains("[Browser]\nFullRow=7\n"), storeFileText().constData());
    bool ok = false;
    QCOMPARE(QSettings(storeFile(), QSettings::IniFormat).value(QStringLiteral("Browser/FullRow")).toInt(&ok), 7);
    QVERIFY(ok);
}

void TestSettingsStore::stringsRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("column value") << "120,1";
    QTest::newRow("semicolon") << "a;b=c";
    QTest::newRow("spaces and quotes") << "  say \"hi\"  ";
    QTest::newRow("backslashes and newline") << "c:\\pictures\\\nx";
    QTest::newRow("variant-like") << "@Variant(1)";
    QTest::newRow("non-latin folder") << QString::fromUtf8("/home/ü/写真 2024/");
    QTest::newRow("empty") << "";
}

void TestSettingsStore::stringsRoundTrip()
{
    QFETCH(QString, text);
    const QString section = QStringLiteral("Settings");
    QVERIFY(CSettingsStore::WriteProfileString(section, QStringLiteral("LastFolder"), text));
    QCOMPARE(CSettingsStore::GetProfileString(section, QStringLiteral("LastFolder"), QStringLiteral("default")), text);
}

void TestSettingsStore::handEditedCommasReadBack()
{
    QVERIFY(writeStoreFileText("[Browser]\nColumn_1=130,1\nFullRow=0\n"));
    // Edited while the program runs: it reads the file again when told to (it does so at start).
    CSettingsStore::reload();
    QCOMPARE(CSettingsStore::GetProfileString(QStringLiteral("Browser"), QStringLiteral("Column_1")),
             QStringLiteral("130,1"));
    QCOMPARE(CSettingsStore::GetProfileInt(QStringLiteral("Browser"), QStringLiteral("FullRow"), 1), 0);
}

void TestSettingsStore::binaryRoundTrip()
{
    QByteArray bytes;
    for (int value = 0; value < 256; ++value)
        bytes.append(char(value));
    const QString section = settingskeys::kToolBarState;
    QVERIFY(CSettingsStore::WriteProfileBinary(section, settingskeys::kBrowserToolBar, bytes));
    QVERIFY(CSettingsStore::WriteProfileString(section, settingskeys::kViewerToolBar, QStringLiteral("text")));
    QCOMPARE(CSettingsStore::GetProfileBinary(section, settingskeys::kBrowserToolBar), bytes);
    // A value that is not binary, and one that is missing, give nothing.
    QVERIFY(CSettingsStore::GetProfileBinary(section, settingskeys::kViewerToolBar).isEmpty());
    QVERIFY(CSettingsStore::GetProfileBinary(settingskeys::kBarState, settingskeys::kDockState).isEmpty());
}

void TestSettingsStore::batchSavesOnceAtTheEnd()
{
    const QString section = QStringLiteral("History");
    {
        const CSettingsStore::Batch outer;
        {
            const CSettingsStore::Batch inner;
            QVERIFY(CSettingsStore::WriteProfileString(section, QStringLiteral("URL0"), QStringLiteral("/a/")));
        }
        QVERIFY(CSettingsStore::WriteProfileString(section, QStringLiteral("URL1"), QStringLiteral("/b/")));
        QVERIFY(CSettingsStore::RemoveProfileValue(section, QStringLiteral("URL1")));
        QCOMPARE(CSettingsStore::GetProfileString(section, QStringLiteral("URL0")), QStringLiteral("/a/"));
        QCOMPARE(CSettingsStore::GetProfileString(section, QStringLiteral("URL1"), QStringLiteral("-")),
                 QStringLiteral("-"));
        QVERIFY(!storeFileText().contains("URL0"));
    }
    QVERIFY(storeFileText().contains("[History]\nURL0=/a/\n"));
    QVERIFY(!storeFileText().contains("URL1"));
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
