// The open-with dialog on desktop entries written into the test's own applications folders
// (the user's and one system folder), starting a real program that records what it was given.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "fileops/copenwithdlg.h"
#include "platform/desktopentries.h"
#include "requiredtool.h"
#include "startrecorder.h"

class TestOpenWithDlg : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void listsAndStarts_data();
    void listsAndStarts();
    void alwaysNeedsAnExtension_data();
    void alwaysNeedsAnExtension();
    void alwaysMakesTheDefault_data();
    void alwaysMakesTheDefault();
    void programEntryStartsTheProgram();

private:
    void writeEntry(const QString& folder, const QString& id, const QString& lines);
    QString userApplications() const;

    QTemporaryDir m_dir;
    QString m_recorder;
};

void TestOpenWithDlg::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The machine's own applications stay out of the list.
    qputenv("XDG_DATA_DIRS", QFile::encodeName(m_dir.filePath(QStringLiteral("system"))));
    // The system's MIME database stays in: the types of files are asked of it.
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("system"))));
    QVERIFY(QFile::link(QStringLiteral("/usr/share/mime"), m_dir.filePath(QStringLiteral("system/mime"))));
    m_recorder = writeRecorder(m_dir.path());
    QVERIFY(!m_recorder.isEmpty());
}

void TestOpenWithDlg::init()
{
    for (const QString& folder : {userApplications(), m_dir.filePath(QStringLiteral("system/applications"))})
        QDir(folder).removeRecursively();
    QFile::remove(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                  QStringLiteral("/mimeapps.list"));
    QFile::remove(m_dir.filePath(QStringLiteral("started.log")));
}

QString TestOpenWithDlg::userApplications() const
{
    return QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
}

void TestOpenWithDlg::writeEntry(const QString& folder, const QString& id, const QString& lines)
{
    QDir().mkpath(folder);
    QFile file(folder + u'/' + id + QStringLiteral(".desktop"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QString text = QStringLiteral("[Desktop Entry]\nType=Application\n") + lines;
    text.replace(QStringLiteral("ID"), id);
    text.replace(QStringLiteral("RECORDER"), m_recorder);
    file.write(text.toUtf8());
}

void TestOpenWithDlg::listsAndStarts_data()
{
    // Entries: id, then "user" or "system", then the lines after the type; "ID" stands for the id.
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("rows");  // the names listed, in order
    QTest::addColumn<int>("chosen");        // the row OK starts
    QTest::addColumn<QString>("started");   // the program that must have started

    const QString named = QStringLiteral("Name=Program ID\nExec=RECORDER ID %f\nIcon=image-x-generic\n");
    QTest::newRow("every named program") << QStringList{"a", "user", named, "b", "system", named}
                                         << QStringList{"Program a", "Program b"} << 1 << "b";
    QTest::newRow("no name: not listed, next row still starts the next program")
        << QStringList{"a", "user", named, "b", "user", "Exec=RECORDER b %f\n", "c", "user", named}
        << QStringList{"Program a", "Program c"} << 1 << "c";
    QTest::newRow("no command: not listed")
        << QStringList{"a", "user", "Name=Program a\n", "c", "user", named} << QStringList{"Program c"} << 0 << "c";
    QTest::newRow("hidden ones left out")
        << QStringList{"a", "user", named + "NoDisplay=true\n", "b", "system", named + "Hidden=true\n", "c", "user",
                       named}
        << QStringList{"Program c"} << 0 << "c";
    QTest::newRow("the user's entry over the system's of the same id")
        << QStringList{"a", "system", named, "a", "user", "Name=Mine\nExec=RECORDER mine %u\n"}
        << QStringList{"Mine"} << 0 << "mine";
    QTest::newRow("ordered by id, ignoring case") << QStringList{"Beta", "user", named, "alpha", "user", named}
                                                  << QStringList{"Program alpha", "Program Beta"} << 1 << "Beta";
    QTest::newRow("field codes in quotes") << QStringList{"q", "user", "Name=Quoted\nExec=RECORDER quoted \"%f\"\n"}
                                           << QStringList{"Quoted"} << 0 << "quoted";
}

void TestOpenWithDlg::listsAndStarts()
{
    QFETCH(QStringList, entries);
    QFETCH(QStringList, rows);
    QFETCH(int, chosen);
    QFETCH(QString, started);
    for (qsizetype i = 0; i + 2 < entries.size(); i += 3) {
        const QString folder = entries[i + 1] == u"user" ? userApplications()
                                                         : m_dir.filePath(QStringLiteral("system/applications"));
        writeEntry(folder, entries[i], entries[i + 2]);
    }
    const QString file = m_dir.filePath(QStringLiteral("a picture.jpg"));

    COpenWithDlg dialog(QStringLiteral("Edit with..."), QStringLiteral("Click the program"), file);
    QStringList listed;
    for (int row = 0; row < dialog.list()->count(); ++row)
        listed << dialog.list()->item(row)->text();
    QCOMPARE(listed, rows);
    QCOMPARE(dialog.commands().size(), rows.size());

    dialog.list()->setCurrentRow(chosen);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QFile log(m_dir.filePath(QStringLiteral("started.log")));
    QTRY_VERIFY(log.exists() && log.size() > 0);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(log.readAll()), started + u' ' + file + u'\n');
}

void TestOpenWithDlg::alwaysNeedsAnExtension_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("with a dot") << "a.jpg" << true;
    QTest::newRow("without") << "README" << false;
    QTest::newRow("dot in the folder only") << "dir.d/README" << false;
}

void TestOpenWithDlg::alwaysNeedsAnExtension()
{
    QFETCH(QString, name);
    QFETCH(bool, enabled);
    COpenWithDlg dialog(QStringLiteral("Edit with..."), QString(), m_dir.filePath(name));
    const auto boxes = dialog.findChildren<QCheckBox*>();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.constFirst()->isEnabled(), enabled);
}

void TestOpenWithDlg::alwaysMakesTheDefault_data()
{
    QTest::addColumn<bool>("always");        // the box checked
    QTest::addColumn<QString>("remembered"); // the user's default for JPEG pictures afterwards
    QTest::newRow("remembered") << true << "b.desktop";
    QTest::newRow("just this once") << false << "";
}

void TestOpenWithDlg::alwaysMakesTheDefault()
{
    QFETCH(bool, always);
    QFETCH(QString, remembered);
    writeEntry(userApplications(), QStringLiteral("b"), QStringLiteral("Name=Program b\nExec=RECORDER b %f\n"));
    const QString file = m_dir.filePath(QStringLiteral("a picture.jpg"));
    COpenWithDlg dialog(QStringLiteral("Edit with..."), QString(), file);
    dialog.findChild<QCheckBox*>()->setChecked(always);
    dialog.list()->setCurrentRow(0);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(platform::defaultApplication(QStringLiteral("image/jpeg")), remembered);
    QTRY_VERIFY(QFileInfo(m_dir.filePath(QStringLiteral("started.log"))).size() > 0);
}

// A program chosen with "Other..." is remembered through an entry of its own, which the desktop's
// own launcher must start on a file; paths with spaces test the quoting of its command.
void TestOpenWithDlg::programEntryStartsTheProgram()
{
    QVERIFY2(hasTool("gio"), missingTool("gio", "libglib2.0-bin"));
    QVERIFY2(hasTool("desktop-file-validate"), missingTool("desktop-file-validate", "desktop-file-utils"));
    const QString tools = m_dir.filePath(QStringLiteral("my tools"));
    QVERIFY(QDir().mkpath(tools));
    const QString program = writeRecorder(tools);
    QVERIFY(!program.isEmpty());
    const QString id = platform::writeProgramEntry(program);
    QCOMPARE(id, QStringLiteral("userapp-recorder.sh.desktop"));
    const QString entry = userApplications() + u'/' + id;
    QCOMPARE(QProcess::execute(QStringLiteral("desktop-file-validate"), {entry}), 0);

    const QString file = m_dir.filePath(QStringLiteral("a picture.jpg"));
    QCOMPARE(QProcess::execute(QStringLiteral("gio"), {QStringLiteral("launch"), entry, file}), 0);
    QFile log(tools + QStringLiteral("/started.log"));
    QTRY_VERIFY(log.size() > 0);
    QVERIFY(log.open(QIODevice::ReadOnly));
    // The recorder logs its first two arguments: the file alone here.
    QCOMPARE(QString::fromUtf8(log.readAll()), file + QStringLiteral(" \n"));
}

QTEST_MAIN(TestOpenWithDlg)
#include "tst_openwithdlg.moc"
