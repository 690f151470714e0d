// Encryption and decryption of files without the user interface: the files of older Crypto++
// generations both ways, damaged files, names, containers and the refusals.

#include <optional>

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cryptopp/des.h>
#include <cryptopp/modes.h>

#include "cryptfixture.h"
#include "requiredtool.h"
#include "security/cryptpipeline.h"
#include "security/cstoragefile.h"

namespace {

const QString kVectors = QStringLiteral(PIXORIA_PXF_VECTORS);
const QByteArray kSecret = "secret";

QByteArray sha1(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha1);
}

// The key stretching of the format: SHA-1 over a two-byte counter and the input, in as many
// pieces as `size` needs, again over the result for each further round.
QByteArray mash(const QByteArray& input, int size, int rounds)
{
    const int padded = (size + 19) / 20 * 20;
    QByteArray block = input;
    for (int round = 0; round < rounds; ++round) {
        QByteArray next;
        for (int offset = 0; offset < padded; offset += 20)
            next += sha1(QByteArray(1, char(offset >> 8)) + char(offset & 0xff) + block);
        block = next;
    }
    return block.left(size);
}

// The plain text of a ".pxf" file read by the published layout of the legacy encryptor with MAC
// (salt, DES-EDE2-CBC over key check, message and HMAC-SHA1, PKCS#7 padding), not by the class
// the program uses; nothing when any check fails.
std::optional<QByteArray> readByLayout(const QByteArray& file, const QByteArray& password)
{
    if (file.size() < 24 || (file.size() - 8) % 8 != 0)
        return std::nullopt;
    const QByteArray salt = file.left(8);
    const QByteArray keyAndIv = mash(password + salt, 24, 200);
    QByteArray body = file.mid(8);
    CryptoPP::CBC_Mode<CryptoPP::DES_EDE2>::Decryption des(reinterpret_cast<const CryptoPP::byte*>(keyAndIv.constData()),
                                                          16, reinterpret_cast<const CryptoPP::byte*>(keyAndIv.constData()) + 16);
    auto* bytes = reinterpret_cast<CryptoPP::byte*>(body.data());
    des.ProcessData(bytes, bytes, size_t(body.size()));
    const int pad = quint8(body.back());
    if (pad < 1 || pad > 8 || body.right(pad) != QByteArray(pad, char(pad)))
        return std::nullopt;
    body.chop(pad);
    if (body.size() < 28 || body.left(8) != sha1(password + salt).left(8))
        return std::nullopt;
    const QByteArray plain = body.mid(8, body.size() - 28);
    if (QMessageAuthenticationCode::hash(plain, mash(password, 16, 1), QCryptographicHash::Sha1) != body.right(20))
        return std::nullopt;
    return plain;
}

// The rows of a table of the shared vectors: one line per file, fields by tabs, empty ones kept.
QList<QStringList> tableOf(const QString& name)
{
    QList<QStringList> rows;
    const QList<QByteArray> lines = contentOf(kVectors + u'/' + name).split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (!lines[i].isEmpty())
            rows << QString::fromUtf8(lines[i]).split(u'\t');
    }
    return rows;
}

// The names `gsf list` gives for the streams of a container.
QStringList gsfStreams(const QString& container)
{
    QProcess gsf;
    gsf.start(QStringLiteral("gsf"), {QStringLiteral("list"), container});
    if (!gsf.waitForFinished(30000) || gsf.exitCode() != 0)
        return {QStringLiteral("gsf failed")};
    QStringList names;
    // "f    12345 name": a stream, its size, its name.
    static const QRegularExpression stream(QStringLiteral(R"(^\s*f\s+\d+\s(.*)$)"));
    for (const QString& line : QString::fromUtf8(gsf.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
        if (const QRegularExpressionMatch match = stream.match(line); match.hasMatch())
            names << match.captured(1);
    }
    names.sort();
    return names;
}

} // namespace

class TestCryptFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void sharedVectors_data();
    void sharedVectors();
    void damagedVectors_data();
    void damagedVectors();
    void randomDamage_data();
    void randomDamage();
    void roundTrip_data();
    void roundTrip();
    void containers_data();
    void containers();
    void containerWithFailingFile();
    void refusals_data();
    void refusals();
    void systemFolders_data();
    void systemFolders();
    void cancelBetweenFiles();
    void namesThatLowerCaseAlike();

private:
    QString folder(const QString& name);
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestCryptFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString TestCryptFiles::folder(const QString& name)
{
    const QString path = m_dir->filePath(name) + u'/';
    return QDir().mkpath(path) ? path : QString();
}

void TestCryptFiles::sharedVectors_data()
{
    QTest::addColumn<QString>("pxf");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QByteArray>("password");
    QVERIFY2(QFile::exists(kVectors + QStringLiteral("/MANIFEST.tsv")), qPrintable(kVectors + " is missing"));
    for (const QStringList& row : tableOf(QStringLiteral("MANIFEST.tsv"))) {
        QTest::newRow(qPrintable(row[0] + u' ' + row.last())) << kVectors + u'/' + row[0] + QStringLiteral(".plain.pxf")
                                                            << kVectors + u'/' + row[0] + QStringLiteral(".plain")
                                                            << QByteArray::fromHex(row[1].toLatin1());
    }
}

// Files of older generations decrypt here, and ours read by the published layout, as those do.
void TestCryptFiles::sharedVectors()
{
    QFETCH(QString, pxf);
    QFETCH(QString, plain);
    QFETCH(QByteArray, password);
    const QByteArray expected = contentOf(plain);
    QCOMPARE(readByLayout(contentOf(pxf), password), expected);

    const QString decrypted = m_dir->filePath(QStringLiteral("decrypted"));
    QVERIFY(cryptpipeline::decryptFile(pxf, decrypted, password).ok());
    QCOMPARE(contentOf(decrypted), expected);

    const QString encrypted = m_dir->filePath(QStringLiteral("ours.pxf"));
    QVERIFY(cryptpipeline::encryptFile(plain, encrypted, password).ok());
    QCOMPARE(readByLayout(contentOf(encrypted), password), expected);
}

void TestCryptFiles::damagedVectors_data()
{
    QTest::addColumn<QString>("pxf");
    QTest::addColumn<QByteArray>("password");
    for (const QStringList& row : tableOf(QStringLiteral("NEGATIVE.tsv")))
        QTest::newRow(qPrintable(row[0])) << kVectors + u'/' + row[0] << QByteArray::fromHex(row[1].toLatin1());
}

// Every damaged file is refused and leaves nothing: no plain file, no temporary one.
void TestCryptFiles::damagedVectors()
{
    QFETCH(QString, pxf);
    QFETCH(QByteArray, password);
    const QString run = folder(QStringLiteral("run"));
    QVERIFY(QFile::copy(pxf, run + QStringLiteral("bad.pxf")));
    CryptRun crypt;
    crypt.run(false, run, {QStringLiteral("bad.pxf")}, password);
    QCOMPARE(crypt.texts(), QStringList{QStringLiteral("Wrong password!")});
    QCOMPARE(entriesOf(run), QStringList{QStringLiteral("bad.pxf")});
}

void TestCryptFiles::randomDamage_data()
{
    QTest::addColumn<bool>("truncate");
    QTest::newRow("500 bit flips") << false;
    QTest::newRow("500 truncations") << true;
}

void TestCryptFiles::randomDamage()
{
    QFETCH(bool, truncate);
    const QString run = folder(QStringLiteral("run"));
    const QString plain = m_dir->filePath(QStringLiteral("plain"));
    const QString good = m_dir->filePath(QStringLiteral("good.pxf"));
    QByteArray text;
    for (int i = 0; i < 100; ++i)
        text += char(i * 7);
    QVERIFY(writeFile(plain, text));
    QVERIFY(cryptpipeline::encryptFile(plain, good, kSecret).ok());
    const QByteArray intact = contentOf(good);
    QRandomGenerator random(truncate ? 1 : 2);
    for (int i = 0; i < 500; ++i) {
        QByteArray damaged = intact;
        if (truncate) {
            damaged.truncate(random.bounded(qsizetype(intact.size())));
        } else {
            const int bit = random.bounded(int(intact.size() * 8));
            damaged[bit / 8] = char(damaged[bit / 8] ^ (1 << (bit % 8)));
        }
        QVERIFY(writeFile(run + QStringLiteral("x.pxf"), damaged));
        CryptRun crypt;
        crypt.run(false, run, {QStringLiteral("x.pxf")}, kSecret);
        QVERIFY2(crypt.notices.size() == 1 && crypt.notices.first().caption == u"Error", qPrintable(QString::number(i)));
        QCOMPARE(entriesOf(run), QStringList{QStringLiteral("x.pxf")});
    }
}

void TestCryptFiles::roundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("encrypted");
    QTest::addColumn<QString>("decrypted");
    QTest::newRow("case of the name is lost") << "Photo.JPG" << "secret" << false << "photo.jpg.pxf" << "photo.jpg";
    QTest::newRow("empty password") << "Notes.txt" << "" << false << "notes.txt.pxf" << "notes.txt";
    QTest::newRow("read-only file") << "Locked.TXT" << "secret" << true << "locked.txt.pxf" << "locked.txt";
    QTest::newRow("non-ASCII name and password") << "Ärger.PNG" << "pässwörd" << false << "ärger.png.pxf" << "ärger.png";
}

// A file encrypts to its lower-cased name in its own folder (whose case stays) and decrypts back;
// the source goes each time, and a read-only file stays read-only through both.
void TestCryptFiles::roundTrip()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(bool, readOnly);
    QFETCH(QString, encrypted);
    QFETCH(QString, decrypted);
    const QString pics = folder(QStringLiteral("Pics"));
    const QByteArray content = "picture bytes " + name.toUtf8();
    QVERIFY(writeFile(pics + name, content));
    if (readOnly)
        QVERIFY(QFile::setPermissions(pics + name, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

    CryptRun crypt;
    crypt.run(true, pics, {name}, password.toLocal8Bit());
    QCOMPARE(entriesOf(pics), QStringList{encrypted});
    QCOMPARE(bool(QFile::permissions(pics + encrypted) & QFile::WriteOwner), !readOnly);
    crypt.run(false, pics, {encrypted}, password.toLocal8Bit());
    QCOMPARE(crypt.texts(), QStringList());
    QCOMPARE(entriesOf(pics), QStringList{decrypted});
    QCOMPARE(contentOf(pics + decrypted), content);
    QCOMPARE(bool(QFile::permissions(pics + decrypted) & QFile::WriteOwner), !readOnly);
}

void TestCryptFiles::containers_data()
{
    const QString longName = QStringLiteral("A name longer than a container allows.txt");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("streams");  // what `gsf list` shows in the container
    QTest::addColumn<QStringList>("separate"); // ".pxf" files left beside it
    QTest::newRow("two files packed") << QStringList{"B.txt", "a.txt"} << QStringList{"B.txt.pxf", "a.txt.pxf"}
                                      << QStringList();
    QTest::newRow("long and non-ASCII names") << QStringList{longName, "Grüße-名前.txt"}
                                              << QStringList{"Grüße-名前.txt.pxf"}
                                              << QStringList{longName.toLower() + ".pxf"};
    QTest::newRow("one file is never packed") << QStringList{"Only.txt"} << QStringList() << QStringList{"only.txt.pxf"};
}

// Several files go into one container whose streams other tools read; a name too long for a
// stream stays a separate file and the user is told; everything decrypts back.
void TestCryptFiles::containers()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, streams);
    QFETCH(QStringList, separate);
    QVERIFY2(hasTool("gsf"), missingTool("gsf", "libgsf-bin"));
    const QString run = folder(QStringLiteral("run"));
    for (const QString& name : names)
        QVERIFY(writeFile(run + name, name.toUtf8()));

    CryptRun crypt;
    crypt.run(true, run, names, kSecret);
    QStringList expected = separate;
    if (!streams.isEmpty())
        expected << QStringLiteral("Pack.mpxf");
    expected.sort();
    QCOMPARE(entriesOf(run), expected);
    if (!streams.isEmpty()) {
        QCOMPARE(gsfStreams(run + QStringLiteral("Pack.mpxf")), streams);
        // The container has the permissions of any new file, not those of a private temporary one.
        QFile fresh(run + QStringLiteral("fresh"));
        QVERIFY(fresh.open(QIODevice::WriteOnly | QIODevice::NewOnly));
        QCOMPARE(QFile::permissions(run + QStringLiteral("Pack.mpxf")), fresh.permissions());
        QVERIFY(fresh.remove());
    }
    // Only a file that should have gone into the container is told about.
    const bool told = names.size() > 1 && !separate.isEmpty();
    QCOMPARE(crypt.notices.size(), told ? 1 : 0);
    for (const QString& file : separate)
        QVERIFY(!told || crypt.notices.first().text.contains(file));

    crypt.notices.clear();
    crypt.run(false, run, expected, kSecret);
    QCOMPARE(crypt.texts(), QStringList());
    QStringList plain;
    for (const QString& name : names)
        plain << name.toLower();
    plain.sort();
    QCOMPARE(entriesOf(run), plain);
    for (const QString& name : names)
        QCOMPARE(contentOf(run + name.toLower()), name.toUtf8());
}

// The second of three files fails: the first stays decrypted, the others' extracted files go,
// and the container stays for another try.
void TestCryptFiles::containerWithFailingFile()
{
    const QString made = folder(QStringLiteral("made"));
    const QString run = folder(QStringLiteral("run"));
    CStorageFile storage;
    QString error;
    QVERIFY(storage.Create(run + QStringLiteral("three.mpxf"), &error));
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        const QString plain = made + QLatin1String(name);
        QVERIFY(writeFile(plain, name));
        const QByteArray password = qstrcmp(name, "b.txt") == 0 ? "other" : kSecret;
        QVERIFY(cryptpipeline::encryptFile(plain, plain + QStringLiteral(".pxf"), password).ok());
        QVERIFY2(storage.AddFile(plain + QStringLiteral(".pxf"), QLatin1String(name) + QStringLiteral(".pxf"), &error),
                 qPrintable(error));
    }
    QVERIFY2(storage.Close(&error), qPrintable(error));

    CryptRun crypt;
    crypt.run(false, run, {QStringLiteral("three.mpxf")}, kSecret);
    QCOMPARE(crypt.texts(), QStringList{QStringLiteral("Wrong password!")});
    QCOMPARE(entriesOf(run), (QStringList{QStringLiteral("a.txt"), QStringLiteral("three.mpxf")}));
    QCOMPARE(contentOf(run + QStringLiteral("a.txt")), QByteArray("a.txt"));
}

void TestCryptFiles::refusals_data()
{
    QTest::addColumn<bool>("encrypt");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain file decrypted") << false << "plain.txt" << "" << "Error Input"
                                          << "This program is unable to Decrypt a file that is not encrypted!\n\n";
    QTest::newRow("wrong password") << false << "other.pxf" << "" << "Error" << "Wrong password!";
    QTest::newRow("container that is none") << false << "fake.mpxf" << "" << "Error Input"
                                            << "This program is unable to Decrypt a file that is not encrypted!\n\n";
    QTest::newRow("container stream meets a file") << false << "clash.mpxf" << "" << "Error"
                                                   << "Cannot read the container ";
    QTest::newRow("destination missing") << true << "plain.txt" << "missing/" << "Error" << "Cannot encrypt ";
    QTest::newRow("a folder") << true << "Folder" << "" << "Error" << "Cannot encrypt ";
}

// A file that cannot be done is told about and stays as it was; nothing else is written.
void TestCryptFiles::refusals()
{
    QFETCH(bool, encrypt);
    QFETCH(QString, name);
    QFETCH(QString, destination);
    QFETCH(QString, caption);
    QFETCH(QString, text);
    const QString run = folder(QStringLiteral("run"));
    QVERIFY(writeFile(run + QStringLiteral("plain.txt"), "plain"));
    QVERIFY(writeFile(run + QStringLiteral("fake.mpxf"), "no container"));
    QVERIFY(cryptpipeline::encryptFile(run + QStringLiteral("plain.txt"), run + QStringLiteral("other.pxf"), "other").ok());
    QVERIFY(QDir(run).mkdir(QStringLiteral("Folder")));
    CStorageFile clash;
    QString error;
    QVERIFY(clash.Create(run + QStringLiteral("clash.mpxf"), &error));
    QVERIFY(clash.AddFile(run + QStringLiteral("other.pxf"), QStringLiteral("other.pxf"), &error));
    QVERIFY(clash.Close(&error));
    const QStringList before = entriesOf(run);
    const QByteArray content = contentOf(run + name);

    CryptRun crypt;
    crypt.run(encrypt, run, {name}, kSecret, {}, destination.isEmpty() ? QString() : run + destination);
    QCOMPARE(crypt.notices.size(), 1);
    QCOMPARE(crypt.notices.first().caption, caption);
    QVERIFY2(crypt.notices.first().text.startsWith(text), qPrintable(crypt.notices.first().text));
    QCOMPARE(entriesOf(run), before);
    QCOMPARE(contentOf(run + name), content);
}

void TestCryptFiles::systemFolders_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("system");
    QTest::newRow("in /usr") << "/usr/share/a.jpg" << true;
    QTest::newRow("/etc itself") << "/etc" << true;
    QTest::newRow("a name that only begins alike") << "/usrdata/a.jpg" << false;
    QTest::newRow("a link into /etc") << "link/hostname" << true;
    QTest::newRow("the user's file") << "a.jpg" << false;
}

void TestCryptFiles::systemFolders()
{
    QFETCH(QString, path);
    QFETCH(bool, system);
    QVERIFY(QFile::link(QStringLiteral("/etc"), m_dir->filePath(QStringLiteral("link"))));
    QCOMPARE(CCryptWorker::inSystemFolder(path.startsWith(u'/') ? path : m_dir->filePath(path)), system);
}

// The cancel flag is read before each file: set while the first is told about, the second
// file is not touched.
void TestCryptFiles::cancelBetweenFiles()
{
    const QString run = folder(QStringLiteral("run"));
    QVERIFY(writeFile(run + QStringLiteral("b.txt"), "b"));
    CryptRequest request;
    request.sourceFolder = run;
    request.names = {QStringLiteral("missing.txt"), QStringLiteral("b.txt")};
    request.password = kSecret;
    int told = 0;
    CCryptWorker(request, [&told, cancel = request.cancel](const CryptNotice&) {
        ++told;
        cancel->store(true);
    }).run();
    QCOMPARE(told, 1);
    QCOMPARE(entriesOf(run), QStringList{QStringLiteral("b.txt")});
}

// Two files whose names differ in case only would encrypt to one name: the second is kept as it
// is, so that it cannot write over the first one's encrypted file.
void TestCryptFiles::namesThatLowerCaseAlike()
{
    const QString run = folder(QStringLiteral("run"));
    QVERIFY(writeFile(run + QStringLiteral("A.txt"), "upper"));
    QVERIFY(writeFile(run + QStringLiteral("a.txt"), "lower"));
    CryptRun crypt;
    crypt.run(true, run, {QStringLiteral("A.txt"), QStringLiteral("a.txt")}, kSecret);
    QCOMPARE(crypt.notices.size(), 1);
    QVERIFY2(crypt.notices.first().text.startsWith(QStringLiteral("Cannot encrypt ")),
             qPrintable(crypt.notices.first().text));
    QCOMPARE(entriesOf(run), (QStringList{QStringLiteral("Pack.mpxf"), QStringLiteral("a.txt")}));
    QCOMPARE(contentOf(run + QStringLiteral("a.txt")), QByteArray("lower"));
}

QTEST_GUILESS_MAIN(TestCryptFiles)
#include "tst_cryptfiles.moc"
