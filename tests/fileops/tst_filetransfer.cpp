// The file operation engine on one file system: the duplicate names, the answers to a collision,
// folders, descriptions, links, Cancel, and the verbs' command lines.

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "fileops/cshellfileop.h"
#include "fileops/descriptionfile.h"
#include "imagelib/cbmpex.h"
#include "imagelib/flm.h"
#include "requiredtool.h"
#include "transfertest.h"

using Kind = TransferRequest::Kind;
using Answers = QList<int>; // ReplaceChoice codes; a Rename takes its name from newName

Q_DECLARE_METATYPE(Kind)

namespace {

std::deque<ReplaceAnswer> script(const Answers& codes, const QString& newName = {})
{
    std::deque<ReplaceAnswer> answers;
    for (int code : codes)
        answers.push_back({ReplaceChoice(code), code == int(ReplaceChoice::Rename) ? newName : QString()});
    return answers;
}

} // namespace

class TestFileTransfer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void duplicates_data();
    void duplicates();
    void collisions_data();
    void collisions();
    void arrivals_data();
    void arrivals();
    void moveOntoOwnFolder_data();
    void moveOntoOwnFolder();
    void descriptions_data();
    void descriptions();
    void links_data();
    void links();
    void cancel_data();
    void cancel();
    void commandForVerb_data();
    void commandForVerb();
    void deleteItems_data();
    void deleteItems();
    void saveImageAs_data();
    void saveImageAs();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_src;
    QString m_dst;
};

void TestFileTransfer::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_src = m_dir->filePath("src/");
    m_dst = m_dir->filePath("dst/");
    QVERIFY(QDir().mkpath(m_src));
    // Each case sees its own items only in the trash.
    QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash").removeRecursively();
}

void TestFileTransfer::duplicates_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("newNames");

    QTest::newRow("first copy") << QStringList{"a.jpg"} << QStringList{"a.jpg"} << QStringList{"Copy of a.jpg"};
    QTest::newRow("second copy") << QStringList{"a.jpg", "Copy of a.jpg=old"} << QStringList{"a.jpg"}
                                 << QStringList{"Copy (2) of a.jpg"};
    QTest::newRow("third copy") << QStringList{"a.jpg", "Copy of a.jpg=old", "Copy (2) of a.jpg=old"}
                                << QStringList{"a.jpg"} << QStringList{"Copy (3) of a.jpg"};
    QTest::newRow("gap is not filled") << QStringList{"a.jpg", "Copy of a.jpg=old", "Copy (3) of a.jpg=old"}
                                       << QStringList{"a.jpg"} << QStringList{"Copy (2) of a.jpg"};
    QTest::newRow("two items") << QStringList{"a.jpg", "b.png", "Copy of b.png=old"}
                               << QStringList{"a.jpg", "b.png"} << QStringList{"Copy of a.jpg", "Copy (2) of b.png"};
    QTest::newRow("folder") << QStringList{"pics/", "pics/x.jpg"} << QStringList{"pics"}
                            << QStringList{"Copy of pics"};
    QTest::newRow("vanished item") << QStringList{"a.jpg"} << QStringList{"gone.jpg", "a.jpg"}
                                   << QStringList{"Copy of a.jpg"};
}

// A copy into the item's own folder never asks and never replaces; the new item holds the
// source's content and gets no description.
void TestFileTransfer::duplicates()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, names);
    QFETCH(QStringList, newNames);
    makeEntries(m_src, before);
    makeEntries(m_src, {"descript.ion=\"a.jpg\" sunset\n"});
    const QStringList oldEntries = entriesOf(m_src);
    auto questions = std::make_shared<ScriptedQuestions>();

    const TransferResult result = runTransfer({Kind::Copy, names, m_src, m_src}, questions);

    QCOMPARE(result.newNames, newNames);
    QVERIFY(questions->asked.isEmpty());
    QCOMPARE(result.failures.size(), names.contains("gone.jpg") ? 1 : 0);
    QStringList expected = oldEntries;
    for (const QString& made : newNames) {
        const QString original = made.section(" of ", 1);
        for (const QString& entry : oldEntries) {
            if (entry.startsWith(original + u'=') || entry.startsWith(original + u'/'))
                expected << made + entry.mid(original.size());
        }
    }
    expected.sort();
    QCOMPARE(entriesOf(m_src), expected);
    QCOMPARE(DescriptionFile::lookUp(newNames.first(), m_src), std::nullopt);
}

void TestFileTransfer::collisions_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QStringList>("source");
    QTest::addColumn<QStringList>("destination");
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QStringList>("destinationAfter");
    QTest::addColumn<QStringList>("newNames");
    QTest::addColumn<bool>("cancelled");

    const QStringList abc{"a=new a", "b=new b", "c=new c"};
    const auto code = [](ReplaceChoice choice) { return int(choice); };
    QTest::newRow("skip all at the first")
        << Kind::Copy << abc << QStringList{"a=old a", "c=old c"} << Answers{code(ReplaceChoice::SkipAll)}
        << QStringList{"a"} << QStringList{"a=old a", "c=old c"} << QStringList{} << true;
    QTest::newRow("cancel at the first")
        << Kind::Move << abc << QStringList{"a=old a"} << Answers{code(ReplaceChoice::Cancel)} << QStringList{"a"}
        << QStringList{"a=old a"} << QStringList{} << true;
    QTest::newRow("replace all")
        << Kind::Copy << abc << QStringList{"a=old a", "c=old c"} << Answers{code(ReplaceChoice::ReplaceAll)}
        << QStringList{"a"} << QStringList{"a=new a", "b=new b", "c=new c"} << QStringList{"b"} << false;
    QTest::newRow("replace, then skip")
        << Kind::Move << abc << QStringList{"a=old a", "c=old c"}
        << Answers{code(ReplaceChoice::Replace), code(ReplaceChoice::Skip)} << QStringList{"a", "c"}
        << QStringList{"a=new a", "b=new b", "c=old c"} << QStringList{"b"} << false;
    QTest::newRow("rename")
        << Kind::Copy << QStringList{"a=new a"} << QStringList{"a=old a"} << Answers{code(ReplaceChoice::Rename)}
        << QStringList{"a"} << QStringList{"Copy (1) of a=new a", "a=old a"} << QStringList{"Copy (1) of a"}
        << false;
    QTest::newRow("folder merged without a question")
        << Kind::Copy << QStringList{"d/", "d/x=new x", "d/y=new y", "e"} << QStringList{"d/", "d/x=old x", "d/z"}
        << Answers{} << QStringList{} << QStringList{"d/", "d/x=new x", "d/y=new y", "d/z=d/z", "e=e"}
        << QStringList{"e"} << false;
    QTest::newRow("folder moved onto one of its name")
        << Kind::Move << QStringList{"d/", "d/x=new x", "d/s/", "d/s/t"} << QStringList{"d/", "d/x=old x"}
        << Answers{} << QStringList{} << QStringList{"d/", "d/s/", "d/s/t=d/s/t", "d/x=new x"} << QStringList{}
        << false;
    QTest::newRow("new folder")
        << Kind::Copy << QStringList{"d/", "d/e/", "d/e/f=f", "d/l->f"} << QStringList{} << Answers{}
        << QStringList{} << QStringList{"d/", "d/e/", "d/e/f=f", "d/l->f"} << QStringList{"d"} << false;
}

// The answers of the replace question, item by item; a folder is never asked about.
void TestFileTransfer::collisions()
{
    QFETCH(Kind, kind);
    QFETCH(QStringList, source);
    QFETCH(QStringList, destination);
    QFETCH(Answers, answers);
    makeEntries(m_src, source);
    makeEntries(m_dst, destination);
    QStringList names;
    for (const QString& entry : source) {
        const QString name = entry.section(u'=', 0, 0).section(u'/', 0, 0).section("->", 0, 0);
        if (!names.contains(name))
            names << name;
    }
    auto questions = std::make_shared<ScriptedQuestions>(script(answers, "Copy (1) of a"));

    const TransferResult result = runTransfer({kind, names, m_src, m_dst}, questions);

    QTEST(questions->asked, "asked");
    QTEST(entriesOf(m_dst), "destinationAfter");
    QTEST(result.newNames, "newNames");
    QTEST(result.cancelled, "cancelled");
    QVERIFY2(result.failures.isEmpty(), qPrintable(result.failures.join('\n')));
    QVERIFY(QFileInfo::exists(m_dst + "descript.ion"));
    if (kind == Kind::Copy) {
        QStringList sourceEntries = source;
        QCOMPARE(entriesOf(m_src).size(), sourceEntries.size());
    } else {
        // Whatever arrived left its source; whatever stayed is whole.
        for (const QString& entry : entriesOf(m_src))
            QVERIFY2(entry.contains("new") || entry.endsWith('/'), qPrintable(entry));
    }
}

void TestFileTransfer::arrivals_data()
{
    QTest::addColumn<QString>("path"); // the file, under the copied item "d" or as the item itself
    QTest::addColumn<QStringList>("destination");
    QTest::addColumn<int>("mode");

    QTest::newRow("new file") << "f" << QStringList{} << 0644;
    QTest::newRow("new read-only file") << "f" << QStringList{} << 0444;
    QTest::newRow("new executable file") << "f" << QStringList{} << 0750;
    QTest::newRow("replaced file") << "f" << QStringList{"f=old"} << 0600;
    QTest::newRow("file in a new folder") << "d/f" << QStringList{} << 0640;
    QTest::newRow("new file merged into a folder") << "d/f" << QStringList{"d/", "d/g=old"} << 0444;
}

// A copied file arrives whole with its source's bytes, permission bits and last-write time, and
// nothing else shows up beside it, however it was built.
void TestFileTransfer::arrivals()
{
    QFETCH(QString, path);
    QFETCH(QStringList, destination);
    QFETCH(int, mode);
    const QString item = path.section(u'/', 0, 0);
    const QString entry = path + u'=' + QString(70000, u'x');
    makeEntries(m_src, item == path ? QStringList{entry} : QStringList{item + u'/', entry});
    const QString source = m_src + path;
    const QDateTime written = QDateTime::currentDateTimeUtc().addDays(-3);
    {
        QFile file(source);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(written, QFileDevice::FileModificationTime));
    }
    const auto permissions = QFileDevice::Permissions(((mode & 0700) << 6) | ((mode & 070) << 1) | (mode & 07));
    QVERIFY(QFile::setPermissions(source, permissions));
    makeEntries(m_dst, destination);
    QStringList expected = destination;
    expected.removeAll(path + "=old");
    expected << entry;
    if (item != path && !expected.contains(item + u'/'))
        expected << item + u'/';
    expected.sort();
    auto questions = std::make_shared<ScriptedQuestions>(script({int(ReplaceChoice::Replace)}));

    const TransferResult result = runTransfer({Kind::Copy, {item}, m_src, m_dst}, questions);

    QVERIFY2(result.failures.isEmpty(), qPrintable(result.failures.join(u'\n')));
    QCOMPARE(entriesOf(m_dst), expected);
    const QFileInfo copy(m_dst + path);
    QCOMPARE(copy.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser),
             permissions);
    QCOMPARE(copy.lastModified().toSecsSinceEpoch(), written.toSecsSinceEpoch());
    QCOMPARE(copy.lastModified(), QFileInfo(source).lastModified());
}

void TestFileTransfer::moveOntoOwnFolder_data()
{
    QTest::addColumn<QString>("destination"); // relative to the temporary folder

    QTest::newRow("same text") << "src/";
    QTest::newRow("without the last separator") << "src";
    QTest::newRow("with a dot step") << "src/./";
}

void TestFileTransfer::moveOntoOwnFolder()
{
    QFETCH(QString, destination);
    makeEntries(m_src, {"a.jpg", "b.jpg"});
    auto questions = std::make_shared<ScriptedQuestions>();

    const TransferResult result =
        runTransfer({Kind::Move, {"a.jpg", "b.jpg"}, m_src, m_dir->filePath(destination)}, questions);

    QCOMPARE(result.code, 1);
    QVERIFY(result.newNames.isEmpty());
    QCOMPARE(entriesOf(m_src), (QStringList{"a.jpg=a.jpg", "b.jpg=b.jpg"}));
    QVERIFY(!QFileInfo::exists(m_src + "descript.ion"));
}

void TestFileTransfer::descriptions_data()
{
    QTest::addColumn<QString>("sourceText");
    QTest::addColumn<QString>("destinationText");
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<QString>("expected");

    QTest::newRow("carried") << "\"a\" first\n\"c\" third\n"
                             << "" << Answers{int(ReplaceChoice::Replace)} << "\"a\" first\n\"c\" third";
    QTest::newRow("kept beside the old ones") << "\"b\" second\n"
                                              << "\"z\" last\n"
                                              << Answers{int(ReplaceChoice::Replace)} << "\"z\" last\n\"b\" second";
    QTest::newRow("carried for a skipped item")
        << "\"a\" first\n"
        << "\"a\" old\n"
        << Answers{int(ReplaceChoice::Skip)} << "\"a\" first";
    QTest::newRow("carried before skip all ends the run")
        << "\"a\" first\n\"b\" second\n"
        << "\"a\" old\n"
        << Answers{int(ReplaceChoice::SkipAll)} << "\"a\" first";
    QTest::newRow("none: an empty file") << ""
                                         << "" << Answers{int(ReplaceChoice::Replace)} << "";
}

void TestFileTransfer::descriptions()
{
    QFETCH(QString, sourceText);
    QFETCH(QString, destinationText);
    QFETCH(Answers, answers);
    makeEntries(m_src, {"a", "b", "c"});
    if (!sourceText.isEmpty())
        makeEntries(m_src, {"descript.ion=" + sourceText});
    makeEntries(m_dst, {"a=old"});
    if (!destinationText.isEmpty())
        makeEntries(m_dst, {"descript.ion=" + destinationText});
    auto questions = std::make_shared<ScriptedQuestions>(script(answers));

    runTransfer({Kind::Copy, {"a", "b", "c"}, m_src, m_dst}, questions);

    QVERIFY(QFileInfo::exists(m_dst + "descript.ion"));
    QTEST(QString::fromUtf8(readAll(m_dst + "descript.ion")).replace("\r\n", "\n").trimmed(), "expected");
}

void TestFileTransfer::links_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QStringList>("source");
    QTest::addColumn<QStringList>("destination"); // "../src/x" links lead into the source folder
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("destinationAfter");
    QTest::addColumn<bool>("refused");

    QTest::newRow("a link is copied as a link")
        << Kind::Copy << QStringList{"big=data", "l->big"} << QStringList{} << "l" << QStringList{"l->big"} << false;
    QTest::newRow("a dangling link is copied")
        << Kind::Copy << QStringList{"l->nowhere"} << QStringList{} << "l" << QStringList{"l->nowhere"} << false;
    QTest::newRow("a link in a folder stays a link")
        << Kind::Move << QStringList{"d/", "d/f=data", "d/l->f"} << QStringList{} << "d"
        << QStringList{"d/", "d/f=data", "d/l->f"} << false;
    QTest::newRow("copy onto a link to itself")
        << Kind::Copy << QStringList{"a=data"} << QStringList{"a->../src/a"} << "a" << QStringList{"a->a"} << true;
    QTest::newRow("move onto a link to itself")
        << Kind::Move << QStringList{"a=data"} << QStringList{"a->../src/a"} << "a" << QStringList{"a->a"} << true;
    QTest::newRow("a folder into itself")
        << Kind::Copy << QStringList{"d/", "d/f=data"} << QStringList{} << "d" << QStringList{} << true;
}

// Links are never followed, and an item never replaces itself, whichever way it is reached.
void TestFileTransfer::links()
{
    QFETCH(Kind, kind);
    QFETCH(QStringList, source);
    QFETCH(QStringList, destination);
    QFETCH(QString, name);
    QFETCH(bool, refused);
    makeEntries(m_src, source);
    const QStringList sourceBefore = entriesOf(m_src);
    // The folder-into-itself row copies into a folder inside the item.
    const QString target = QTest::currentDataTag() == QLatin1String("a folder into itself") ? m_src + "d/inner/" : m_dst;
    makeEntries(target, destination);
    auto questions = std::make_shared<ScriptedQuestions>(script({int(ReplaceChoice::Replace)}));

    const TransferResult result = runTransfer({kind, {name}, m_src, target}, questions);

    QCOMPARE(result.failures.size(), refused ? 1 : 0);
    QCOMPARE(questions->failures, result.failures);
    if (refused) {
        QVERIFY(result.newNames.isEmpty());
        QCOMPARE(entriesOf(m_src).filter(QRegularExpression("^d/inner")).isEmpty(), !target.contains("inner"));
        QCOMPARE(entriesOf(m_src).size(), sourceBefore.size() + (target.contains("inner") ? 1 : 0));
        QVERIFY(result.failures.first().contains(m_src + name));
    } else {
        QTEST(entriesOf(m_dst), "destinationAfter");
        QCOMPARE(entriesOf(m_src).isEmpty(), kind == Kind::Move);
    }
}

void TestFileTransfer::cancel_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("beforeStart");

    QTest::newRow("copy, cancelled before it starts") << Kind::Copy << true;
    QTest::newRow("move, cancelled before it starts") << Kind::Move << true;
    QTest::newRow("copy, cancelled while asked") << Kind::Copy << false;
    QTest::newRow("move, cancelled while asked") << Kind::Move << false;
}

// Cancel ends the run before the next item, answered or not; the descriptions are still written.
void TestFileTransfer::cancel()
{
    QFETCH(Kind, kind);
    QFETCH(bool, beforeStart);
    makeEntries(m_src, {"a=new", "b=new", "c=new"});
    makeEntries(m_dst, {"b=old"});
    auto questions = std::make_shared<ScriptedQuestions>(script({int(ReplaceChoice::Replace)}));
    FileTransfer transfer(questions);
    if (beforeStart)
        transfer.cancel();
    // The question comes with the run waiting for its answer: Cancel then, answered Replace.
    struct CancellingQuestions : ScriptedQuestions {
        FileTransfer* transfer = nullptr;
        ReplaceAnswer askReplace(const QString& target, const QString& source) override
        {
            transfer->cancel();
            return ScriptedQuestions::askReplace(target, source);
        }
    };
    auto cancelling = std::make_shared<CancellingQuestions>();
    FileTransfer asked(cancelling);
    cancelling->transfer = &asked;

    const TransferResult result =
        runTransfer(beforeStart ? transfer : asked, {kind, {"a", "b", "c"}, m_src, m_dst});

    QVERIFY(result.cancelled);
    QCOMPARE(result.newNames, beforeStart ? QStringList{} : QStringList{"a"});
    QCOMPARE(entriesOf(m_dst), beforeStart ? QStringList{"b=old"} : (QStringList{"a=new", "b=old"}));
    QVERIFY(QFileInfo::exists(m_dst + "descript.ion"));
    QCOMPARE(entriesOf(m_src).size(), kind == Kind::Move && !beforeStart ? 2 : 3);
}

void TestFileTransfer::commandForVerb_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QStringList>("command");

    const QString path = "/pics/my photo.jpg";
    QTest::newRow("quoted %1 at the end") << "\"/usr/bin/viewer\" \"%1\"" << QStringList{"/usr/bin/viewer", path};
    QTest::newRow("quoted %1, arguments after") << "viewer -a \"%1\" -b" << QStringList{"viewer", "-a", path};
    QTest::newRow("unquoted %1") << "viewer %1 --fast" << QStringList{"viewer", path};
    QTest::newRow("quoted wins over an earlier bare one")
        << "viewer --opt=%1x \"%1\"" << QStringList{"viewer", "--opt=%1x", path};
    QTest::newRow("no %1: whole line kept") << "viewer --new-window" << QStringList{"viewer", "--new-window", path};
    QTest::newRow("desktop entry field code") << "gimp-2.10 %U" << QStringList{"gimp-2.10", path};
    QTest::newRow("blank program name quoted") << "\"/opt/my viewer/run\" %f"
                                               << QStringList{"/opt/my viewer/run", path};
}

// The path is appended whole, as one argument, however many blanks it holds.
void TestFileTransfer::commandForVerb()
{
    QFETCH(QString, commandLine);
    QTEST(CShellFileOp::CommandForVerb(commandLine, "/pics/my photo.jpg"), "command");
}

void TestFileTransfer::deleteItems_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<int>("result");

    QTest::newRow("empty list") << QStringList{} << true << -1;
    QTest::newRow("declined") << QStringList{"a.jpg"} << false << 1;
    QTest::newRow("one file") << QStringList{"a.jpg"} << true << 0;
    QTest::newRow("a folder and a file with blanks") << QStringList{"d", "my photo #1.jpg"} << true << 0;
    QTest::newRow("one vanished") << QStringList{"a.jpg", "gone.jpg"} << true << 2;
}

// Deleted items land in the home trash, where another freedesktop program lists them with the
// path they came from.
void TestFileTransfer::deleteItems()
{
    QFETCH(QStringList, items);
    QFETCH(bool, confirm);
    makeEntries(m_src, {"a.jpg", "d/", "d/x", "my photo #1.jpg"});
    // The same name twice: the trash keeps both.
    makeEntries(m_src, {"again/", "again/a.jpg=second"});
    QVERIFY(hasTool("gio") && hasTool("dbus-run-session"));
    QStringList paths;
    for (const QString& item : items)
        paths << m_src + item;
    auto questions = std::make_shared<ScriptedQuestions>(std::deque<ReplaceAnswer>{}, confirm);
    CShellFileOp op(nullptr, questions);

    QTEST(op.DeleteItems(paths), "result");

    QCOMPARE(questions->deleteAsked, paths);
    QProcess gio;
    gio.start("dbus-run-session", {"--", "gio", "trash", "--list"});
    QVERIFY(gio.waitForFinished());
    const QString listed = QString::fromUtf8(gio.readAllStandardOutput());
    for (const QString& path : paths) {
        const bool trashed = confirm && !path.endsWith("gone.jpg");
        QCOMPARE(QFileInfo::exists(path), !trashed && !path.endsWith("gone.jpg"));
        QCOMPARE(listed.contains('\t' + QDir::cleanPath(path) + '\n'), trashed);
    }
    QCOMPARE(questions->failures.size(), paths.filter("gone").size());
    if (confirm && paths.contains(m_src + "a.jpg")) {
        QCOMPARE(op.DeleteItems({m_src + "again/a.jpg"}), 0);
        const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash/";
        QCOMPARE(readAll(trash + "files/a.jpg"), QByteArray("a.jpg"));
        QCOMPARE(readAll(trash + "files/a.jpg.2"), QByteArray("second"));
        QVERIFY(readAll(trash + "info/a.jpg.2.trashinfo").contains("Path=" + QUrl::toPercentEncoding(m_src, "/") + "again/a.jpg\n"));
    }
}

void TestFileTransfer::saveImageAs_data()
{
    QTest::addColumn<bool>("existing");
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<QString>("written"); // empty: nothing written

    QTest::newRow("new file") << false << Answers{} << "out.png";
    QTest::newRow("replace") << true << Answers{int(ReplaceChoice::Replace)} << "out.png";
    QTest::newRow("rename") << true << Answers{int(ReplaceChoice::Rename)} << "Copy (1) of out.png";
    QTest::newRow("skip") << true << Answers{int(ReplaceChoice::Skip)} << "";
    QTest::newRow("cancel") << true << Answers{int(ReplaceChoice::Cancel)} << "";
}

void TestFileTransfer::saveImageAs()
{
    QFETCH(bool, existing);
    QFETCH(Answers, answers);
    QFETCH(QString, written);
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    QVERIFY(picture.save(m_src + "in.png"));
    if (existing)
        makeEntries(m_src, {"out.png=not a picture"});
    CBmpEx image;
    QVERIFY(image.Load(m_src + "in.png"));
    auto questions = std::make_shared<ScriptedQuestions>(script(answers, "Copy (1) of out.png"));
    CShellFileOp op(nullptr, questions);
    FlmSaveOptions options;
    options.field[FlmSaveOptions::kFormat] = kFlmPng;
    QString path;

    QCOMPARE(op.SaveImageAs(image, m_src + "out.png", &options, true, &path), written.isEmpty() ? 0 : 1);

    QCOMPARE(questions->asked.size(), existing ? 1 : 0);
    QCOMPARE(path, written.isEmpty() ? QString() : m_src + written);
    if (!written.isEmpty())
        QCOMPARE(QImage(path).size(), QSize(8, 6));
    if (existing && written != "out.png")
        QCOMPARE(readAll(m_src + "out.png"), QByteArray("not a picture"));
    QVERIFY(QDir(m_src).entryList(QDir::Hidden | QDir::Files).filter(".pixoria").isEmpty());
}

QTEST_MAIN(TestFileTransfer)
#include "tst_filetransfer.moc"
