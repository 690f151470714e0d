// The browser's Encrypt/Decrypt: the focused row chooses the mode, the password dialog and the
// wait window come up, and the list shows what the run left on disk.

#include <QApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include "browser/browsercrypt.h"
#include "browserfixture.h"
#include "dialoganswers.h"
#include "security/cryptpipeline.h"

using Edits = QMap<QString, QString>;

namespace {

enum Trigger { kCommand, kOpen, kDoubleClick };

// Types into the password dialog's edits (by name) and presses OK.
DialogAnswers::Answer type(const Edits& edits)
{
    return [edits](QDialog* dialog) {
        for (auto edit = edits.begin(); edit != edits.end(); ++edit)
            dialog->findChild<QLineEdit*>(edit.key())->setText(edit.value());
        dialog->accept();
    };
}

} // namespace

class TestBrowserCrypt : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void command_data();
    void command();
};

void TestBrowserCrypt::command_data()
{
    QTest::addColumn<QStringList>("plain");     // plain files in the folder
    QTest::addColumn<QStringList>("encrypted"); // "<name>.pxf" files of the plain text "<name>"
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QString>("focused");
    QTest::addColumn<int>("trigger");
    QTest::addColumn<Edits>("typed");
    QTest::addColumn<QStringList>("shown");     // dialog titles and the beginnings of messages
    QTest::addColumn<QStringList>("rows");      // the list afterwards

    const Edits decrypt{{"password", "secret"}};
    const QString refused = QStringLiteral("This program is unable to Decrypt a file that is not encrypted!\n\n");
    QTest::newRow("x.pxf focused decrypts the whole selection")
        << QStringList{"plain.txt"} << QStringList{"x", "y"} << QStringList{"plain.txt", "x.pxf", "y.pxf"} << "x.pxf"
        << int(kCommand) << decrypt << QStringList{"Enter password", "Zelt Pixoria", refused}
        << QStringList{"plain.txt", "x", "y"};
    QTest::newRow("a plain file focused encrypts the selection into one container")
        << QStringList{"Photo.JPG", "notes.txt"} << QStringList() << QStringList{"Photo.JPG", "notes.txt"}
        << "Photo.JPG" << int(kCommand) << Edits{{"password", "pw"}, {"confirm", "pw"}, {"container", "Album"}}
        << QStringList{"Enter password:", "Zelt Pixoria"} << QStringList{"Album.mpxf"};
    QTest::newRow("opening an encrypted file decrypts it")
        << QStringList() << QStringList{"x"} << QStringList{"x.pxf"} << "x.pxf" << int(kOpen) << decrypt
        << QStringList{"Enter password", "Zelt Pixoria"} << QStringList{"x"};
    QTest::newRow("double-clicking an encrypted file decrypts it")
        << QStringList() << QStringList{"x"} << QStringList{"x.pxf"} << "x.pxf" << int(kDoubleClick) << decrypt
        << QStringList{"Enter password", "Zelt Pixoria"} << QStringList{"x"};
}

void TestBrowserCrypt::command()
{
    QFETCH(QStringList, plain);
    QFETCH(QStringList, encrypted);
    QFETCH(QStringList, selected);
    QFETCH(QString, focused);
    QFETCH(int, trigger);
    QFETCH(Edits, typed);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, rows);
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    for (const QString& name : plain)
        writeFile(folder + name, name.toUtf8());
    for (const QString& name : encrypted) {
        writeFile(folder + name, name.toUtf8());
        QVERIFY(cryptpipeline::encryptFile(folder + name, folder + name + QStringLiteral(".pxf"), "secret").ok());
        QVERIFY(QFile::remove(folder + name));
    }
    Fixture fixture;
    QVERIFY(showFolder(fixture.list, folder));
    CFileListModel& model = fixture.list->rows();
    fixture.list->selectRow(model.findByName(focused));
    for (const QString& name : selected)
        fixture.list->selectionModel()->select(model.index(model.findByName(name), 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);

    // The password dialog, the wait window (it closes itself), then OK to each message.
    // A double click's first click on the selected row starts the delayed name editing: the
    // password dialog stays open past its delay, and no name editor may open behind it.
    bool editorBehind = false;
    const auto password = [&, answer = type(typed)](QDialog* dialog) {
        if (trigger == kDoubleClick) {
            bool later = false;
            QTimer::singleShot(QApplication::doubleClickInterval() * 2, [&later] { later = true; });
            QTRY_VERIFY(later);
            editorBehind = fixture.list->currentView()->findChild<QLineEdit*>() != nullptr;
        }
        answer(dialog);
    };
    QList<DialogAnswers::Answer> answers{password, [](QDialog*) {}};
    for (qsizetype i = 2; i < shown.size(); ++i)
        answers << DialogAnswers::click(QMessageBox::Ok);
    DialogAnswers dialogs(answers);
    QSignalSpy over(fixture.view->crypt(), &BrowserCrypt::runOver);
    if (trigger == kCommand)
        QVERIFY(fixture.view->chainHead().execute(cmd::kListEncryptDecrypt));
    else if (trigger == kOpen)
        QVERIFY(fixture.view->openFocusedRow());
    else {
        QWidget* viewport = fixture.list->reportView()->viewport();
        const QPoint centre =
            fixture.list->reportView()->visualRect(model.index(model.findByName(focused), CFileListModel::kName)).center();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, centre);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, centre);
    }
    QTRY_COMPARE(over.count(), 1);
    QVERIFY(!editorBehind);
    QCOMPARE(dialogs.shown.size(), shown.size());
    for (qsizetype i = 0; i < shown.size(); ++i)
        QVERIFY2(dialogs.shown[i].startsWith(shown[i]), qPrintable(dialogs.shown[i]));
    const QStringList expected = QStringList{".."} + rows;
    QTRY_COMPARE_WITH_TIMEOUT(rowNames(fixture.list), expected, kWait);
}

QTEST_MAIN(TestBrowserCrypt)
#include "tst_browsercrypt.moc"
