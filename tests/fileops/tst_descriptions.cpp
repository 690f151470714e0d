#include <csignal>
#include <optional>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "fileops/cdescribedlg.h"
#include "ordinaryuser.h"

namespace {

constexpr QDir::Filters kEverything = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

struct stat statOf(const QString& path)
{
    struct stat info{};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

class TestDescriptions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void find_data();
    void find();
    void set_data();
    void set();
    void setSeveral_data();
    void setSeveral();
    void transferWithoutSourceFileWritesEmptyFile();
    void transferCarriesDescriptions();
    void fileThatCouldNotBeReadIsNeverWrittenOver_data();
    void fileThatCouldNotBeReadIsNeverWrittenOver();
    void fullDiskLeavesOldFile_data();
    void fullDiskLeavesOldFile();
    void dialogEditsFile();
    void dialogEditsReadOnlyFile();
    void dialogCancelAndEmptyTextWriteNothing();
    void dialogKeepsTextWhenSaveFails();

private:
    QString folder(const QString& name);
    QString m_shown;  // the text of the last message box, which the test closed
    QTimer m_messageBoxCloser;
    // The test run's temporary folder is closed to other users; as root the folders go to /tmp.
    QTemporaryDir m_dir{geteuid() == 0 ? QStringLiteral("/tmp/tst_descriptions-XXXXXX")
                                       : QDir::tempPath() + QStringLiteral("/tst_descriptions-XXXXXX")};
};

void TestDescriptions::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Lets "nobody" reach the folders of the permission cases.
    QCOMPARE(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755), 0);
    // A dialog's message box would wait for a click for ever.
    connect(&m_messageBoxCloser, &QTimer::timeout, this, [this] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
                m_shown = box->text();
                box->close();
            }
        }
    });
    m_messageBoxCloser.start(20);
}

QString TestDescriptions::folder(const QString& name)
{
    const QString path = m_dir.filePath(name) + u'/';
    return QDir().mkpath(path) ? path : QString();
}

void TestDescriptions::find_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");  // empty: not found

    QTest::newRow("quote in the description") << QByteArray("\"a.jpg\" a \"b\"\r\n") << "a.jpg" << "a \"b\"";
    QTest::newRow("other letter case") << QByteArray("\"A.JPG\" upper\r\n") << "a.jpg" << "upper";
    QTest::newRow("name ending another name") << QByteArray("\"ba.jpg\" b\r\n") << "a.jpg" << "";
    QTest::newRow("name inside an earlier description")
        << QByteArray("\"b.jpg\" copy of \"a.jpg\" there\r\n\"a.jpg\" real\r\n") << "a.jpg" << "real";
    QTest::newRow("unquoted, tab and blanks") << QByteArray("a.jpg\t  Holiday  \n") << "a.jpg" << "Holiday";
    QTest::newRow("after unparsable, blank and unquoted lines, indented")
        << QByteArray("\"broken\r\n\r\nnotes.txt n\r\n \t\"a.jpg\" x") << "a.jpg" << "x";
    QTest::newRow("name alone") << QByteArray("a.jpg\r\n") << "a.jpg" << "";
    QTest::newRow("no closing quote") << QByteArray("\"a.jpg x\r\n") << "a.jpg" << "";
    QTest::newRow("Latin-1") << QByteArray("\"caf\xe9.jpg\" \xe9t\xe9\r\n") << "caf\u00e9.jpg" << "\u00e9t\u00e9";
    QTest::newRow("UTF-8") << QByteArray("\"caf\xc3\xa9.jpg\" \xc3\xa9t\xc3\xa9") << "caf\u00e9.jpg" << "\u00e9t\u00e9";
    QTest::newRow("UTF-8 cut off at the end is Latin-1") << QByteArray("\"a.jpg\" x\xc3") << "a.jpg" << "x\u00c3";
    QTest::newRow("byte order mark") << QByteArray("\xef\xbb\xbf\"a.jpg\" x") << "a.jpg" << "x";
    QTest::newRow("other program's data") << QByteArray("\"a.jpg\" text\x04\xc2\x01") << "a.jpg" << "text";
}

void TestDescriptions::find()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    QFETCH(QString, description);
    const std::optional<DescriptionText> text = DescriptionText::parse(file);
    QVERIFY(text);
    QCOMPARE(text->find(name).value_or(QString()), description);
}

void TestDescriptions::set_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("append to nothing") << QByteArray() << "a.jpg" << "  Holiday " << true
                                       << QByteArray("\"a.jpg\" Holiday\r\n");
    QTest::newRow("replace in place, other lines verbatim")
        << QByteArray("  x.jpg  keep\n\n\"broken\n\"a.jpg\" old\x04" "data\n\"z.jpg\" z") << "a.jpg" << "new" << true
        << QByteArray("  x.jpg  keep\r\n\r\n\"broken\r\n\"a.jpg\" new\x04" "data\r\n\"z.jpg\" z\r\n");
    QTest::newRow("other case keeps the stored name") << QByteArray("\"A.JPG\" old\r\n") << "a.jpg" << "new" << true
                                                      << QByteArray("\"A.JPG\" new\r\n");
    QTest::newRow("clearing removes the line") << QByteArray("\"a.jpg\" old\r\n\"b.jpg\" b\r\n") << "a.jpg" << " "
                                               << true << QByteArray("\"b.jpg\" b\r\n");
    QTest::newRow("one entry per name stays") << QByteArray("\"a.jpg\" 1\r\nA.JPG 2\r\n") << "a.jpg" << "3" << true
                                              << QByteArray("\"a.jpg\" 3\r\n");
    QTest::newRow("same description leaves the line") << QByteArray("a.jpg   same\n") << "a.jpg" << "same" << false
                                                      << QByteArray("a.jpg   same\r\n");
    QTest::newRow("Latin-1 written back as UTF-8")
        << QByteArray("\"caf\xe9.jpg\" \xe9t\xe9\r\n") << "b.jpg" << "x" << true
        << QByteArray("\"caf\xc3\xa9.jpg\" \xc3\xa9t\xc3\xa9\r\n\"b.jpg\" x\r\n");
    QTest::newRow("line break in the description") << QByteArray() << "a.jpg" << "one\ntwo" << true
                                                   << QByteArray("\"a.jpg\" one two\r\n");
    QTest::newRow("name with a quote, written bare") << QByteArray() << "say\"hi\".jpg" << "x" << true
                                                     << QByteArray("say\"hi\".jpg x\r\n");
    QTest::newRow("name with a quote and a blank") << QByteArray("\"b.jpg\" b\n") << "a \"b\".jpg" << "x" << false
                                                   << QByteArray("\"b.jpg\" b\r\n");
}

void TestDescriptions::set()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    QFETCH(QString, description);
    QFETCH(bool, changed);
    QFETCH(QByteArray, written);
    std::optional<DescriptionText> text = DescriptionText::parse(file);
    QVERIFY(text);
    QCOMPARE(text->set(name, description), changed);
    QCOMPARE(text->serialize(), written);
    // What was written reads back as what was set.
    const std::optional<DescriptionText> reread = DescriptionText::parse(written);
    QVERIFY(reread);
    QCOMPARE(reread->find(name), text->find(name));
    if (changed)
        QCOMPARE(reread->find(name).value_or(QString()), description.simplified());
}

void TestDescriptions::setSeveral_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("changes"); // "name=description", in order
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("appended, then changed in another case")
        << QByteArray() << QStringList{"a.jpg=1", "b.jpg=2", "A.JPG=3"} << QByteArray("\"a.jpg\" 3\r\n\"b.jpg\" 2\r\n");
    QTest::newRow("appended, cleared, appended again")
        << QByteArray("\"x.jpg\" x\r\n") << QStringList{"a.jpg=1", "a.jpg=", "b.jpg=2", "a.jpg=4"}
        << QByteArray("\"x.jpg\" x\r\n\"b.jpg\" 2\r\n\"a.jpg\" 4\r\n");
    QTest::newRow("a name with two entries, then others")
        << QByteArray("\"a.jpg\" 1\r\nA.JPG 2\r\n") << QStringList{"b.jpg=x", "a.jpg=3", "b.jpg=y", "c.jpg=z"}
        << QByteArray("\"a.jpg\" 3\r\n\"b.jpg\" y\r\n\"c.jpg\" z\r\n");
}

// Many changes to one text, each looked up right after it is made, as a transfer carries them.
void TestDescriptions::setSeveral()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, changes);
    std::optional<DescriptionText> text = DescriptionText::parse(file);
    QVERIFY(text);
    for (const QString& change : changes) {
        const QString name = change.section(u'=', 0, 0);
        const QString description = change.section(u'=', 1);
        text->set(name, description);
        QCOMPARE(text->find(name), description.isEmpty() ? std::nullopt : std::optional<QString>(description));
    }
    QTEST(text->serialize(), "written");
    const std::optional<DescriptionText> reread = DescriptionText::parse(text->serialize());
    QVERIFY(reread);
    for (const QString& change : changes)
        QCOMPARE(reread->find(change.section(u'=', 0, 0)), text->find(change.section(u'=', 0, 0)));
}

void TestDescriptions::transferWithoutSourceFileWritesEmptyFile()
{
    const QString source = folder(QStringLiteral("plain-source"));
    const QString target = folder(QStringLiteral("plain-target"));
    CDescribeDlg transfer;
    QVERIFY(transfer.LoadTargetDescriptions(target));
    QString description;
    QVERIFY(!transfer.GetDescription(QStringLiteral("1.jpg"), source, &description));
    QVERIFY(!transfer.FindSourceDescription(QStringLiteral("2.jpg"), &description));
    QVERIFY(!transfer.FindSourceDescription(QStringLiteral("3.jpg"), &description));
    QVERIFY(transfer.SaveTargetDescriptions(target));
    QVERIFY(QFileInfo::exists(DescriptionFile::pathFor(target)));
    QCOMPARE(contents(DescriptionFile::pathFor(target)), QByteArray());
    QVERIFY(!QFileInfo::exists(DescriptionFile::pathFor(source)));
}

void TestDescriptions::transferCarriesDescriptions()
{
    const QString source = folder(QStringLiteral("carry-source"));
    const QString target = folder(QStringLiteral("carry-target"));
    QVERIFY(write(DescriptionFile::pathFor(source), "\"a.jpg\" A\r\n\"b.jpg\" B \"quoted\"\r\n"));
    QVERIFY(write(DescriptionFile::pathFor(target), "\"B.JPG\" old\r\n; kept\r\n"));
    CDescribeDlg transfer;
    QVERIFY(transfer.LoadTargetDescriptions(target));
    QString description;
    QVERIFY(transfer.GetDescription(QStringLiteral("a.jpg"), source, &description));
    transfer.SetTargetDescription(QStringLiteral("a.jpg"), description);
    QVERIFY(transfer.FindSourceDescription(QStringLiteral("b.jpg"), &description));
    transfer.SetTargetDescription(QStringLiteral("b.jpg"), description);
    QVERIFY(!transfer.FindSourceDescription(QStringLiteral("c.jpg"), &description));
    QVERIFY(transfer.SaveTargetDescriptions(target));
    QCOMPARE(contents(DescriptionFile::pathFor(target)),
             QByteArray("\"B.JPG\" B \"quoted\"\r\n; kept\r\n\"a.jpg\" A\r\n"));
    // The texts are gone with the save: a second one has nothing read to write.
    QString error;
    QVERIFY(!transfer.SaveTargetDescriptions(target, &error));
    QVERIFY(error.contains(QDir::toNativeSeparators(DescriptionFile::pathFor(target))));
}

void TestDescriptions::fileThatCouldNotBeReadIsNeverWrittenOver_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("no read permission") << "mode 000";
    QTest::newRow("larger than allowed") << "large";
    QTest::newRow("a pipe") << "pipe";
}

void TestDescriptions::fileThatCouldNotBeReadIsNeverWrittenOver()
{
    QFETCH(QString, kind);
    const QString target = folder(QStringLiteral("unread-") + QString::fromLatin1(QTest::currentDataTag()));
    const QString path = DescriptionFile::pathFor(target);
    if (kind == u"pipe") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write("\"a.jpg\" A\r\n") > 0);
        QVERIFY(file.resize(kind == u"large" ? DescriptionText::kMaxBytes + 1 : file.size()));
        file.close();
        QVERIFY(kind != u"mode 000" || QFile::setPermissions(path, QFileDevice::Permissions()));
    }
    const struct stat before = statOf(path);
    {
        AsOrdinaryUser user(target);
        QVERIFY2(user.ok(), "cannot run as an ordinary user");
        QVERIFY(!DescriptionFile::lookUp(QStringLiteral("a.jpg"), target));
        CDescribeDlg transfer;
        QVERIFY(!transfer.LoadTargetDescriptions(target));
        transfer.SetTargetDescription(QStringLiteral("b.jpg"), QStringLiteral("B"));
        QString error;
        QVERIFY(!transfer.SaveTargetDescriptions(target, &error));
        QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
    }
    const struct stat after = statOf(path);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_size, before.st_size);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(QDir(target).entryList(kEverything).size(), 1);
}

void TestDescriptions::fullDiskLeavesOldFile_data()
{
    QTest::addColumn<bool>("tmpfs");
    QTest::newRow("64 KiB file system") << true;
    QTest::newRow("file size limit") << false;
}

void TestDescriptions::fullDiskLeavesOldFile()
{
    QFETCH(bool, tmpfs);
    const QString target = folder(QStringLiteral("full-") + QString::fromLatin1(QTest::currentDataTag()));
    if (tmpfs && ::mount("tmpfs", QFile::encodeName(target).constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP("cannot mount a small tmpfs here (needs root); the file size limit row covers a full disk");
    const auto unmount = qScopeGuard([&] {
        if (tmpfs)
            ::umount2(QFile::encodeName(target).constData(), MNT_DETACH);
    });
    const QString path = DescriptionFile::pathFor(target);
    const QByteArray before("\"a.jpg\" old\r\n");
    QVERIFY(write(path, before));
    const ino_t inode = statOf(path).st_ino;

    DescriptionFile file;
    QVERIFY(file.load(target));
    for (int i = 0; i < 2000; ++i)
        file.text().set(QStringLiteral("picture %1.jpg").arg(i), QString(60, u'd'));
    // Without the tmpfs, a file size limit makes writes fail as on a full disk (EFBIG), with the
    // signal that would end the process ignored.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const rlimit low{tmpfs ? old.rlim_cur : 4096, old.rlim_max};
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &low);
    const bool saved = file.save();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, handler);
    QVERIFY(!saved);
    QVERIFY2(file.errorString().contains(QDir::toNativeSeparators(path)), qPrintable(file.errorString()));
    QCOMPARE(statOf(path).st_ino, inode);
    QCOMPARE(contents(path), before);
    QCOMPARE(QDir(target).entryList(kEverything), QStringList{kDescriptionFileName});
}

void TestDescriptions::dialogEditsFile()
{
    const QString target = folder(QStringLiteral("dialog-edit"));
    const QString path = DescriptionFile::pathFor(target);
    QVERIFY(write(path, "  x.jpg  keep\n\"caf\xe9.jpg\" \xe9t\xe9\n"));
    CDescribeDlg dialog(QStringLiteral("CAF\u00c9.JPG"), target);
    auto* edit = dialog.findChild<QLineEdit*>();
    QCOMPARE(edit->text(), QStringLiteral("\u00e9t\u00e9"));
    edit->setText(QStringLiteral("  \u00e9t\u00e9 \"2\"  "));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(contents(path), QByteArray("  x.jpg  keep\r\n\"caf\xc3\xa9.jpg\" \xc3\xa9t\xc3\xa9 \"2\"\r\n"));
}

void TestDescriptions::dialogEditsReadOnlyFile()
{
    const QString target = folder(QStringLiteral("dialog-read-only"));
    const QString path = DescriptionFile::pathFor(target);
    QVERIFY(write(path, "\"a.jpg\" A\r\n\"b.jpg\" B\r\n"));
    const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    QVERIFY(QFile::setPermissions(path, readOnly));
    {
        AsOrdinaryUser user(target);
        QVERIFY2(user.ok(), "cannot run as an ordinary user");
        CDescribeDlg dialog(QStringLiteral("b.jpg"), target);
        dialog.findChild<QLineEdit*>()->setText(QStringLiteral("B2"));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    QCOMPARE(contents(path), QByteArray("\"a.jpg\" A\r\n\"b.jpg\" B2\r\n"));
    QCOMPARE(statOf(path).st_mode & 07777, mode_t(0444));
}

void TestDescriptions::dialogCancelAndEmptyTextWriteNothing()
{
    const QString target = folder(QStringLiteral("dialog-cancel"));
    CDescribeDlg cancelled(QStringLiteral("a.jpg"), target);
    cancelled.findChild<QLineEdit*>()->setText(QStringLiteral("text"));
    cancelled.reject();
    CDescribeDlg empty(QStringLiteral("a.jpg"), target);
    empty.accept();
    QCOMPARE(empty.result(), int(QDialog::Accepted));
    QVERIFY(!QFileInfo::exists(DescriptionFile::pathFor(target)));
}

void TestDescriptions::dialogKeepsTextWhenSaveFails()
{
    const QString target = folder(QStringLiteral("dialog-fails"));
    const QString path = DescriptionFile::pathFor(target);
    QVERIFY(write(path, "\"a.jpg\" A\r\n"));
    CDescribeDlg dialog(QStringLiteral("b.jpg"), target);
    dialog.show();
    dialog.findChild<QLineEdit*>()->setText(QStringLiteral("typed"));
    QVERIFY(QFile::resize(path, DescriptionText::kMaxBytes + 1));  // changed behind the dialog's back
    m_shown.clear();
    dialog.accept();
    QVERIFY2(m_shown.contains(QDir::toNativeSeparators(path)), qPrintable(m_shown));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.findChild<QLineEdit*>()->text(), QStringLiteral("typed"));
    QCOMPARE(QFileInfo(path).size(), DescriptionText::kMaxBytes + 1);
}

QTEST_MAIN(TestDescriptions)
#include "tst_descriptions.moc"
