// "Edit with..." on a file of the list: the program chosen in the open-with dialog starts on the
// file, or, when the dialog is cancelled, the file type's edit program does; never both, which
// would open the file twice. The programs are desktop entries of the test's own folders that
// record what they were started on.

#include <QApplication>
#include <QListWidget>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "browserfixture.h"
#include "fileops/copenwithdlg.h"
#include "startrecorder.h"
#include "whenopen.h"

class TestEditWith : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void startsOneProgram_data();
    void startsOneProgram();

private:
    QString log() const { return m_dir.filePath(QStringLiteral("started.log")); }

    QTemporaryDir m_dir;
    QString m_recorder;
};

void TestEditWith::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_recorder = writeRecorder(m_dir.path());
    QVERIFY(!m_recorder.isEmpty());
    const QString applications = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    QVERIFY(QDir().mkpath(applications));
    for (const QString& name : {QStringLiteral("editor"), QStringLiteral("default")}) {
        writeFile(applications + u'/' + name + QStringLiteral(".desktop"),
                  QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2 %1 %f\n")
                      .arg(name, m_recorder)
                      .toUtf8());
    }
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QVERIFY(QDir().mkpath(config));
    writeFile(config + QStringLiteral("/mimeapps.list"), "[Default Applications]\nimage/png=default.desktop;\n");
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("pictures"))));
    writePicture(m_dir.filePath(QStringLiteral("pictures/a.png")));
}

void TestEditWith::startsOneProgram_data()
{
    QTest::addColumn<QString>("chosen");   // the row chosen in the dialog; empty: Cancel
    QTest::addColumn<QString>("started");  // the one program started on the file
    QTest::newRow("cancelled: the edit program") << QString() << "default";
    QTest::newRow("chosen: that program alone") << "editor" << "editor";
}

void TestEditWith::startsOneProgram()
{
    QFETCH(QString, chosen);
    QFETCH(QString, started);
    QFile::remove(log());
    Fixture fixture;
    QVERIFY(showFolder(fixture.list, m_dir.filePath(QStringLiteral("pictures/"))));
    fixture.list->selectRow(fixture.list->rows().findByName(QStringLiteral("a.png")));
    QString title;
    whenModal([&](QWidget* window) {
        auto* dialog = qobject_cast<COpenWithDlg*>(window);
        title = window->windowTitle();
        const QList<QListWidgetItem*> rows = dialog->list()->findItems(chosen, Qt::MatchExactly);
        if (chosen.isEmpty() || rows.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->list()->setCurrentItem(rows.constFirst());
        dialog->accept();
    });
    QVERIFY(fixture.view->chainHead().execute(cmd::kListEditWith));
    QCOMPARE(title, QStringLiteral("Edit with..."));
    // Both programs would have been started before the command returned; a last one started now
    // records after them.
    QVERIFY(QProcess::execute(m_recorder, {QStringLiteral("last"), QStringLiteral("-")}) == 0);
    const QString path = m_dir.filePath(QStringLiteral("pictures/a.png"));
    QTRY_VERIFY(contentOf(log()).split('\n').size() >= 3);
    QStringList lines = QString::fromUtf8(contentOf(log())).split(u'\n', Qt::SkipEmptyParts);
    lines.sort();
    QCOMPARE(lines, (QStringList{started + u' ' + path, QStringLiteral("last -")}));
}

QTEST_MAIN(TestEditWith)
#include "tst_editwith.moc"
