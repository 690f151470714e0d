#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include "fileops/cshellfileop.h"
#include "imagelib/cbmpex.h"

namespace {

// Makes each of `entries` in `folder`: a name ending with "/" is a folder, any other a file
// holding its own name.
void makeEntries(const QString& folder, const QStringList& entries)
{
    for (const QString& entry : entries) {
        if (entry.endsWith(u'/')) {
            QVERIFY(QDir(folder).mkdir(entry.chopped(1)));
            continue;
        }
        QFile file(QDir(folder).filePath(entry));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(entry.toUtf8()) == entry.toUtf8().size());
    }
}

// "name" for a file holding "content", "name/" for a folder; sorted by name, case first.
QStringList entriesOf(const QString& folder)
{
    QStringList result;
    const QDir dir(folder);
    for (const QFileInfo& info :
         dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
        if (info.isDir()) {
            result << info.fileName() + '/';
            continue;
        }
        QFile file(info.filePath());
        result << info.fileName() + '=' +
                      (file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString());
    }
    return result;
}

void writePicture(const QString& path, QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::darkRed);
    QVERIFY(picture.save(path));
}

} // namespace

class TestRename : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void renameItem_data();
    void renameItem();
    void currentImageFollows_data();
    void currentImageFollows();
};

void TestRename::renameItem_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("oldName");
    QTest::addColumn<QString>("newName");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("after"); // empty: as before

    const QStringList ab{"a.txt", "b.txt"};
    QTest::newRow("file") << ab << "a.txt"
                          << "c.txt" << true << QStringList{"b.txt=b.txt", "c.txt=a.txt"};
    QTest::newRow("folder") << QStringList{"Old/", "x.txt"} << "Old"
                            << "New" << true << QStringList{"New/", "x.txt=x.txt"};
    QTest::newRow("letter case only") << ab << "a.txt"
                                      << "A.TXT" << true << QStringList{"A.TXT=a.txt", "b.txt=b.txt"};
    QTest::newRow("folder, letter case only") << QStringList{"pics/"} << "pics"
                                              << "Pics" << true << QStringList{"Pics/"};
    QTest::newRow("hidden name") << ab << "a.txt"
                                 << ".a.txt" << true << QStringList{".a.txt=a.txt", "b.txt=b.txt"};
    QTest::newRow("same name") << ab << "a.txt"
                               << "a.txt" << true << QStringList{};
    QTest::newRow("existing file") << ab << "a.txt"
                                   << "b.txt" << false << QStringList{};
    QTest::newRow("existing folder") << QStringList{"a.txt", "b/"} << "a.txt"
                                     << "b" << false << QStringList{};
    QTest::newRow("folder onto a file") << QStringList{"a.txt", "b/"} << "b"
                                        << "a.txt" << false << QStringList{};
    // On a case-sensitive file system both spellings may be there: the other one is not ours.
    QTest::newRow("other entry of another case") << QStringList{"a.txt", "A.txt"} << "a.txt"
                                                 << "A.txt" << false << QStringList{};
    QTest::newRow("empty") << ab << "a.txt"
                           << "" << false << QStringList{};
    QTest::newRow("blank") << ab << "a.txt"
                           << "   " << false << QStringList{};
    QTest::newRow("dot") << ab << "a.txt"
                         << "." << false << QStringList{};
    QTest::newRow("dot dot") << ab << "a.txt"
                             << ".." << false << QStringList{};
    QTest::newRow("slash") << ab << "a.txt"
                           << "sub/c.txt" << false << QStringList{};
    QTest::newRow("slash at the end") << ab << "a.txt"
                                      << "c.txt/" << false << QStringList{};
    QTest::newRow("missing source") << ab << "gone.txt"
                                    << "c.txt" << false << QStringList{};
}

void TestRename::renameItem()
{
    QFETCH(QStringList, before);
    QFETCH(QString, oldName);
    QFETCH(QString, newName);
    QFETCH(bool, ok);
    QFETCH(QStringList, after);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    makeEntries(dir.path(), before);
    const QStringList original = entriesOf(dir.path());

    QString error;
    QCOMPARE(CShellFileOp::RenameItem(dir.filePath(oldName), newName, nullptr, &error), ok);
    QCOMPARE(error.isEmpty(), ok);
    QCOMPARE(entriesOf(dir.path()), after.isEmpty() ? original : after);
}

void TestRename::currentImageFollows_data()
{
    QTest::addColumn<QString>("newName");
    QTest::addColumn<bool>("ok");
    QTest::newRow("renamed") << "harbour.png" << true;
    QTest::newRow("letter case only") << "P.png" << true;
    QTest::newRow("refused") << "taken.png" << false;
}

void TestRename::currentImageFollows()
{
    QFETCH(QString, newName);
    QFETCH(bool, ok);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writePicture(dir.filePath("p.png"), {24, 18});
    writePicture(dir.filePath("taken.png"), {5, 5});
    CBmpEx current;
    QVERIFY(current.Load(dir.filePath("p.png")));

    QCOMPARE(CShellFileOp::RenameItem(dir.filePath("p.png"), newName, &current), ok);
    QVERIFY(current.loaded());
    QCOMPARE(current.path(), dir.filePath(ok ? newName : QStringLiteral("p.png")));
    QCOMPARE(current.GetSize(), QSize(24, 18));

    // An image of another file stays as it is.
    CBmpEx other;
    QVERIFY(other.Load(dir.filePath("taken.png")));
    QVERIFY(CShellFileOp::RenameItem(dir.filePath(ok ? newName : QStringLiteral("p.png")), QStringLiteral("z.png"),
                                     &other));
    QCOMPARE(other.path(), dir.filePath("taken.png"));
    QCOMPARE(other.GetSize(), QSize(5, 5));
}

QTEST_MAIN(TestRename)
#include "tst_rename.moc"
