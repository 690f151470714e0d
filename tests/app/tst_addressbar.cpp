#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/cmainframe.h"
#include "browser/cfilelistctrl.h"
#include "ui/chistorybox.h"

#include "dialoganswers.h"
#include "recordinghost.h"

class TestAddressBar : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void typedPathOpensItsFolder_data();
    void typedPathOpensItsFolder();

private:
    RecordingHost m_host;
    CCommandTarget m_app;
    QTemporaryDir m_dir;
};

void TestAddressBar::initTestCase()
{
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("start")));
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("holiday pictures/day 1")));
    QVERIFY(QFile(m_dir.filePath(QStringLiteral("note.txt"))).open(QIODevice::WriteOnly));
}

void TestAddressBar::typedPathOpensItsFolder_data()
{
    QTest::addColumn<QString>("typed");    // "@" stands for the temporary folder
    QTest::addColumn<QString>("expected"); // the folder shown then, under the temporary folder
    QTest::addColumn<QString>("message");  // the message box shown, if any
    QTest::newRow("absolute") << "@/holiday pictures" << "holiday pictures/" << "";
    QTest::newRow("relative to the folder shown") << "../holiday pictures/day 1" << "holiday pictures/day 1/" << "";
    QTest::newRow("missing") << "@/nowhere" << "start/" << "The folder @/nowhere does not exist.";
    QTest::newRow("a file") << "@/note.txt" << "start/" << "@/note.txt is not a folder.";
}

void TestAddressBar::typedPathOpensItsFolder()
{
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QFETCH(QString, message);
    typed.replace(u'@', m_dir.path());
    message.replace(u'@', m_dir.path());
    CMainFrame frame(m_host, m_host.options, &m_app);
    frame.show();
    CFileListCtrl* list = frame.fileList();
    QSignalSpy over(list, &CFileListCtrl::populationOver);
    list->SetFolder(m_dir.filePath(QStringLiteral("start")), true);
    QVERIFY(over.wait(5000));
    auto* box = frame.findChild<CHistoryBox*>();
    QCOMPARE(box->currentText(), m_dir.filePath(QStringLiteral("start/")));

    DialogAnswers answers({DialogAnswers::click(QMessageBox::Ok)});
    box->lineEdit()->selectAll();
    QTest::keyClicks(box, typed);
    QTest::keyClick(box, Qt::Key_Return);
    if (message.isEmpty())
        QVERIFY(over.wait(5000));
    QCOMPARE(answers.shown, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(list->currentFolder(), m_dir.filePath(expected));
    QCOMPARE(box->currentText(), m_dir.filePath(expected));
    // The typed text and the folders shown are in the list, to be chosen again.
    QVERIFY(box->findText(typed) >= 0);
    const int start = box->findText(m_dir.filePath(QStringLiteral("start/")));
    QVERIFY(start >= 0);
    box->setCurrentIndex(start);
    Q_EMIT box->activated(start);
    QTRY_COMPARE(list->currentFolder(), m_dir.filePath(QStringLiteral("start/")));
}

QTEST_MAIN(TestAddressBar)
#include "tst_addressbar.moc"
