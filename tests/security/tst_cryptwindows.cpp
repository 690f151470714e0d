// The password dialog's checks and the wait window, which stays until its run is over.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "cryptfixture.h"
#include "dialoganswers.h"
#include "security/ccryptdialogs.h"
#include "security/ccryptwait.h"

using Buttons = QList<QMessageBox::StandardButton>;

class TestCryptWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void encryptDialog_data();
    void encryptDialog();
    void waitWindowStaysUntilOver();
};

void TestCryptWindows::encryptDialog_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("confirmation");
    QTest::addColumn<QString>("container");
    QTest::addColumn<Buttons>("answers");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("accepted");
    const QString mismatch = QStringLiteral("The password was not correctly confirmed. Please ensure that the password "
                                            "and confirmation match exactly.");
    const QString blank = QStringLiteral("You typed in blank password. Would you like to use it?");
    QTest::newRow("confirmation differs") << "secret" << "secreT" << "Pack" << Buttons{QMessageBox::Ok} << QStringList{mismatch}
                                          << false;
    QTest::newRow("blank password declined") << "" << "" << "Pack" << Buttons{QMessageBox::No} << QStringList{blank} << false;
    QTest::newRow("blank password used") << "" << "" << "Pack" << Buttons{QMessageBox::Yes} << QStringList{blank} << true;
    QTest::newRow("container without a name")
        << "secret" << "secret" << " " << Buttons{QMessageBox::Ok} << QStringList{"Enter a name for the single file."}
        << false;
    QTest::newRow("trailing spaces do not count") << "secret  " << "secret" << "Pack" << Buttons() << QStringList() << true;
}

void TestCryptWindows::encryptDialog()
{
    QFETCH(QString, password);
    QFETCH(QString, confirmation);
    QFETCH(QString, container);
    QFETCH(Buttons, answers);
    QFETCH(QStringList, messages);
    QFETCH(bool, accepted);
    CEncryptDlg dialog(QDir::tempPath(), true);
    dialog.findChild<QLineEdit*>(QStringLiteral("password"))->setText(password);
    dialog.findChild<QLineEdit*>(QStringLiteral("confirm"))->setText(confirmation);
    dialog.findChild<QLineEdit*>(QStringLiteral("container"))->setText(container);
    QList<DialogAnswers::Answer> clicks;
    for (QMessageBox::StandardButton button : answers)
        clicks << DialogAnswers::click(button);
    DialogAnswers dialogs(clicks);
    dialog.accept();
    QCOMPARE(dialogs.shown, messages);
    QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
    QCOMPARE(dialog.password(), password.trimmed());
    QCOMPARE(dialog.containerName(), container + QStringLiteral(".mpxf"));
}

// The worker reads a pipe that gives nothing until the test writes: meanwhile Escape, Close and
// reject() leave the window open; once the run has failed and its message was answered, it goes,
// and nothing of the failed file is left.
void TestCryptWindows::waitWindowStaysUntilOver()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    const QByteArray pipe = QFile::encodeName(folder + QStringLiteral("x.pxf"));
    QCOMPARE(::mkfifo(pipe.constData(), 0600), 0);
    CryptRequest request;
    request.encrypt = false;
    request.sourceFolder = folder;
    request.names = {QStringLiteral("x.pxf")};
    request.password = "secret";
    CCryptWait wait(request);
    wait.open();
    QVERIFY(QTest::qWaitForWindowExposed(&wait));
    QVERIFY(!wait.findChild<QPushButton*>()->isVisible()); // no Cancel for a decryption

    // A writer opens without waiting once the worker has the pipe open for reading.
    int writer = -1;
    const auto writerOpened = [&writer, &pipe] {
        if (writer < 0)
            writer = ::open(pipe.constData(), O_WRONLY | O_NONBLOCK);
        return writer >= 0;
    };
    QTRY_VERIFY_WITH_TIMEOUT(writerOpened(), 20000);
    QTest::keyClick(&wait, Qt::Key_Escape);
    wait.reject();
    wait.close();
    QVERIFY(wait.isVisible());

    DialogAnswers dialogs({DialogAnswers::click(QMessageBox::Ok)});
    QCOMPARE(::write(writer, "not an encrypted file", 21), 21);
    ::close(writer);
    QTRY_VERIFY_WITH_TIMEOUT(!wait.isVisible(), 20000);
    QCOMPARE(dialogs.shown, QStringList{QStringLiteral("Wrong password!")});
    QCOMPARE(wait.result(), int(QDialog::Accepted));
    QCOMPARE(entriesOf(folder), QStringList{QStringLiteral("x.pxf")});
}

QTEST_MAIN(TestCryptWindows)
#include "tst_cryptwindows.moc"
