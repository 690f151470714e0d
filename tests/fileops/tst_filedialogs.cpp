#include <functional>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "fileops/cconfirmdlg.h"
#include "fileops/ccopymovedlg.h"
#include "fileops/crenamedlg.h"
#include "fileops/fileopquestions.h"
#include "settings/csettingsstore.h"
#include "ui/cfolderdialog.h"
#include "whenopen.h"

namespace {

void writeFile(const QString& path, qint64 size)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(QByteArray(size, 'x')) == size);
}

// Answers each message box that opens, in turn, with the next of `answers`; records its text.
class MessageAnswers : public QObject {
public:
    MessageAnswers(QList<QMessageBox::StandardButton> answers) : m_answers(std::move(answers))
    {
        qApp->installEventFilter(this);
    }
    QStringList texts;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (box && event->type() == QEvent::Show && !m_answers.isEmpty()) {
            texts << box->text();
            const QMessageBox::StandardButton answer = m_answers.takeFirst();
            QTimer::singleShot(0, box, [box, answer] { box->button(answer)->click(); });
        }
        return false;
    }

private:
    QList<QMessageBox::StandardButton> m_answers;
};

}  // namespace

class TestFileDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void renameEnablesOk_data();
    void renameEnablesOk();
    void confirmProposesAFreeName_data();
    void confirmProposesAFreeName();
    void confirmAnswers_data();
    void confirmAnswers();
    void informationLine_data();
    void informationLine();
    void previewPlacement_data();
    void previewPlacement();
    void copyMoveHistory();
    void copyMoveDestination_data();
    void copyMoveDestination();
    void folderStatusIsCut();
    void dirDialogAsksItsCheck();

private:
    QTemporaryDir m_dir;
};

void TestFileDialogs::init()
{
    QVERIFY(m_dir.isValid());
    for (int i = 0; i < 16; ++i)
        CSettingsStore::WriteProfileString("Settings", QStringLiteral("LUF%1").arg(i), QString());
}

void TestFileDialogs::renameEnablesOk_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("a new name") << "b.jpg" << true;
    QTest::newRow("the same name") << "a.jpg" << false;
    QTest::newRow("the same with a trailing blank") << "a.jpg " << false;
    QTest::newRow("nothing") << "  " << false;
    QTest::newRow("a plus sign") << "a+b.jpg" << false;
    QTest::newRow("a slash") << "sub/b.jpg" << false;
    QTest::newRow("a colon") << "b:c.jpg" << false;
    QTest::newRow("a backtick") << "b`.jpg" << false;
}

void TestFileDialogs::renameEnablesOk()
{
    QFETCH(QString, typed);
    QFETCH(bool, enabled);
    CRenameDlg dialog(QStringLiteral("a.jpg"));
    QCOMPARE(dialog.edit()->text(), QStringLiteral("a.jpg"));
    QVERIFY(!dialog.okButton()->isEnabled());
    dialog.edit()->setText(typed);
    QCOMPARE(dialog.okButton()->isEnabled(), enabled);
    QCOMPARE(dialog.newName(), typed);
}

void TestFileDialogs::confirmProposesAFreeName_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("proposed");
    QTest::newRow("none taken") << QStringList{"a.jpg"} << "Copy (1) of a.jpg";
    QTest::newRow("the first taken") << QStringList{"a.jpg", "Copy (1) of a.jpg"} << "Copy (2) of a.jpg";
    QTest::newRow("a gap is used") << QStringList{"a.jpg", "Copy (1) of a.jpg", "Copy (3) of a.jpg"}
                                   << "Copy (2) of a.jpg";
}

void TestFileDialogs::confirmProposesAFreeName()
{
    QFETCH(QStringList, present);
    QFETCH(QString, proposed);
    QTemporaryDir folder;
    for (const QString& name : present)
        writeFile(folder.filePath(name), 10);
    QCOMPARE(CConfirmDlg::proposedName(folder.filePath("a.jpg")), proposed);
}

void TestFileDialogs::confirmAnswers_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("typed"); // empty: the proposed name stays
    QTest::addColumn<QString>("newName"); // empty: no new target
    QTest::newRow("Replace") << int(CConfirmDlg::kReplace) << "" << "";
    QTest::newRow("Skip All") << int(CConfirmDlg::kSkipAll) << "" << "";
    QTest::newRow("Rename as proposed") << int(CConfirmDlg::kRename) << "" << "Copy (1) of a.png";
    QTest::newRow("Rename as typed, trimmed") << int(CConfirmDlg::kRename) << " b.png " << "b.png";
    QTest::newRow("Cancel") << int(CConfirmDlg::kCancel) << "" << "";
}

void TestFileDialogs::confirmAnswers()
{
    QFETCH(int, answer);
    QFETCH(QString, typed);
    QFETCH(QString, newName);
    QTemporaryDir target;
    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(target.filePath("a.png")));
    writeFile(m_dir.filePath("a.png"), 100);
    // The engine's question opens the dialog; what the user does there is its answer.
    QString proposed;
    QStringList texts;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<CConfirmDlg*>(modal);
        proposed = dialog->newNameEdit()->text();
        for (const QLabel* label : dialog->findChildren<QLabel*>())
            texts << label->text();
        if (!typed.isEmpty())
            dialog->newNameEdit()->setText(typed);
        dialog->button(CConfirmDlg::Answer(answer))->click();
    });
    const ReplaceAnswer replace = DialogQuestions(nullptr).askReplace(target.filePath("a.png"), m_dir.filePath("a.png"));
    QCOMPARE(proposed, QStringLiteral("Copy (1) of a.png"));
    // Only the picture gets a dimension line.
    QCOMPARE(texts.filter(QRegularExpression(QStringLiteral("^\\d+x\\d+x"))), QStringList{texts.filter("30x20x").value(0)});
    QVERIFY(!texts.filter("30x20x").isEmpty());
    QCOMPARE(int(replace.choice), answer);
    QCOMPARE(replace.newName, newName);
}

void TestFileDialogs::informationLine_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("sizeText");
    QTest::newRow("bytes") << qint64(1023) << "1023Bytes";
    QTest::newRow("kilobytes") << qint64(1536) << " 1.5KB";
    QTest::newRow("the last kilobytes") << qint64(1048575) << "1024.0KB";
    QTest::newRow("megabytes") << qint64(3 * 1048576) << " 3.0MB";
}

void TestFileDialogs::informationLine()
{
    QFETCH(qint64, size);
    QFETCH(QString, sizeText);
    const QString path = m_dir.filePath("sized");
    writeFile(path, size);
    const QDateTime written(QDate(2024, 3, 9), QTime(7, 5));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(written, QFileDevice::FileModificationTime));
    file.close();
    QCOMPARE(CConfirmDlg::informationLine(path), sizeText + QStringLiteral(", 09.03.2024 07:05"));
}

void TestFileDialogs::previewPlacement_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("placed");
    QTest::newRow("small: centred as it is") << QSize(40, 20) << QRect(30, 40, 40, 20);
    QTest::newRow("fits only without the frame: shrunk") << QSize(98, 50) << QRect(0, 24, 100, 51);
    QTest::newRow("wide: shrunk to the width") << QSize(400, 100) << QRect(0, 37, 100, 25);
    QTest::newRow("tall: shrunk to the height") << QSize(100, 400) << QRect(37, 0, 25, 100);
}

void TestFileDialogs::previewPlacement()
{
    QFETCH(QSize, picture);
    QFETCH(QRect, placed);
    QCOMPARE(CConfirmView::placement(picture, QSize(100, 100), 2), placed);
}

void TestFileDialogs::copyMoveHistory()
{
    CSettingsStore::WriteProfileString("Settings", "LUF0", m_dir.path());
    CSettingsStore::WriteProfileString("Settings", "LUF1", m_dir.path());
    CSettingsStore::WriteProfileString("Settings", "LUF2", "/tmp");
    CCopyMoveDlg dialog(QStringLiteral("Copy"), m_dir.path());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Copy"));
    QCOMPARE(dialog.history()->count(), 2);
    QCOMPARE(dialog.destinationEdit()->text(), m_dir.path());
    dialog.history()->setCurrentRow(1);
    QCOMPARE(dialog.destinationEdit()->text(), QStringLiteral("/tmp"));
    dialog.removeButton()->click();
    QVERIFY(dialog.destinationEdit()->text().isEmpty());
    QCOMPARE(dialog.history()->count(), 1);
    {
        MessageAnswers answers({QMessageBox::No});
        dialog.removeAllButton()->click();
        QCOMPARE(dialog.history()->count(), 1);
    }
    MessageAnswers answers({QMessageBox::Yes});
    dialog.removeAllButton()->click();
    QCOMPARE(dialog.history()->count(), 0);
    QVERIFY(!dialog.removeButton()->isEnabled());
    QVERIFY(!dialog.removeAllButton()->isEnabled());
}

void TestFileDialogs::copyMoveDestination_data()
{
    QTest::addColumn<QString>("typed"); // "%1" stands for the temporary folder
    QTest::addColumn<QList<QMessageBox::StandardButton>>("answers");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("destination");
    using B = QMessageBox::StandardButton;
    QTest::newRow("an existing folder") << "%1/" << QList<B>{} << int(QDialog::Accepted) << "%1/";
    QTest::newRow("trailing slashes go") << "%1///" << QList<B>{} << int(QDialog::Accepted) << "%1/";
    QTest::newRow("nested folders made") << "%1/New/Sub" << QList<B>{B::Yes} << int(QDialog::Accepted)
                                         << "%1/New/Sub/";
    QTest::newRow("No: cancelled") << "%1/New/Sub" << QList<B>{B::No} << int(QDialog::Rejected) << "";
}

void TestFileDialogs::copyMoveDestination()
{
    QFETCH(QString, typed);
    QFETCH(QList<QMessageBox::StandardButton>, answers);
    QFETCH(int, result);
    QFETCH(QString, destination);
    QTemporaryDir root;
    typed.replace("%1", root.path());
    destination.replace("%1", root.path());
    CSettingsStore::WriteProfileString("Settings", "LUF0", "/tmp");
    CCopyMoveDlg dialog(QStringLiteral("Move"), m_dir.path());
    dialog.destinationEdit()->setText(typed);
    MessageAnswers answering(answers);
    QTimer::singleShot(0, &dialog, &QDialog::accept);
    QCOMPARE(dialog.exec(), result);
    QCOMPARE(dialog.destination(), destination);
    QCOMPARE(QFileInfo(destination).isDir(), !destination.isEmpty());
    // The history changes only with OK.
    QCOMPARE(CSettingsStore::GetProfileString("Settings", "LUF0"), result == QDialog::Accepted ? typed : "/tmp");
    QCOMPARE(CSettingsStore::GetProfileString("Settings", "LUF1"),
             result == QDialog::Accepted ? QStringLiteral("/tmp") : QString());
}

void TestFileDialogs::folderStatusIsCut()
{
    const QString deep = m_dir.filePath(QStringLiteral("a-rather-long-folder-name-for-the-line"));
    QVERIFY(QDir().mkpath(deep));
    QVERIFY(deep.size() > CFolderDialog::kStatusLength);
    CFolderDialog dialog(deep);
    QCOMPARE(dialog.statusText(), deep.left(35) + QStringLiteral("..."));
    QCOMPARE(CFolderDialog::cutStatus(QStringLiteral("/short")), QStringLiteral("/short"));
    QTimer::singleShot(0, &dialog, &QDialog::reject);
    QCOMPARE(dialog.run(), int(CFolderDialog::kCancelled));
}

void TestFileDialogs::dirDialogAsksItsCheck()
{
    // Accepts only folders named "ok".
    class OnlyOk : public CDirDialog {
    public:
        QStringList asked;

    protected:
        bool checkFolder(const QString& path, QString* status) override
        {
            asked << path;
            *status = QStringLiteral("checked");
            return QFileInfo(path).fileName() == QLatin1String("ok");
        }
    };
    QVERIFY(QDir(m_dir.path()).mkpath("ok"));
    QVERIFY(QDir(m_dir.path()).mkpath("no"));
    for (const QString& name : {QStringLiteral("ok"), QStringLiteral("no")}) {
        OnlyOk dialog;
        dialog.setFolderToSelect(m_dir.filePath(name) + QStringLiteral("/ "));
        dialog.setShowStatus(true);
        // OK, and then Cancel for a dialog that OK did not end.
        bool openAfterOk = false;
        QTimer::singleShot(0, &dialog, [&dialog, &openAfterOk] {
            QDialog& plain = dialog;
            plain.accept();
            openAfterOk = dialog.isVisible();
            if (openAfterOk)
                plain.reject();
        });
        const bool chosen = dialog.DoBrowse();
        QCOMPARE(dialog.asked.value(0), m_dir.filePath(name));
        QCOMPARE(dialog.statusText(), QStringLiteral("checked"));
        const bool accepted = name == QLatin1String("ok");
        QCOMPARE(chosen, accepted);
        QCOMPARE(openAfterOk, !accepted);
        QCOMPARE(dialog.chosenFolder(), accepted ? m_dir.filePath(name) : QString());
    }
}

QTEST_MAIN(TestFileDialogs)
#include "tst_filedialogs.moc"
