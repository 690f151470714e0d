#include <algorithm>
#include <cmath>

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "corpus.h"
#include "imagelib/imagetest.h"

namespace {

struct Segment {
    int marker = 0;
    QByteArray payload;
};

// The marker segments from SOI up to and including SOS, or an empty list when the stream is
// malformed before it gets there.
QList<Segment> jpegSegments(const QByteArray& data)
{
    QList<Segment> segments;
    if (!data.startsWith("\xff\xd8"))
        return {};
    qsizetype at = 2;
    while (at + 4 <= data.size() && uchar(data[at]) == 0xff) {
        const int marker = uchar(data[at + 1]);
        const qsizetype length = (uchar(data[at + 2]) << 8) | uchar(data[at + 3]);
        if (length < 2 || at + 2 + length > data.size())
            return {};
        segments.append({marker, data.mid(at + 4, length - 2)});
        if (marker == 0xda)
            return segments;
        at += 2 + length;
    }
    return {};
}

// Runs exiftool with the arguments; the standard output, or a null array when it failed.
QByteArray exiftool(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("exiftool"), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}

double greyDeviation(const QImage& image)
{
    double sum = 0;
    double squares = 0;
    const double count = double(image.width()) * image.height();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int grey = qGray(image.pixel(x, y));
            sum += grey;
            squares += double(grey) * grey;
        }
    }
    const double mean = sum / count;
    return std::sqrt(squares / count - mean * mean);
}

} // namespace

class TestCorpus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void layout_data();
    void layout();
    void exifReadByExiftool_data();
    void exifReadByExiftool();
    void thumbnailShowsThePicture();
    void sameCountSameBytes();
    void unwritableFolderFails();

private:
    QString picture(int index) const { return m_dir.filePath(bench::corpusFileName(index)); }

    QTemporaryDir m_dir;
};

void TestCorpus::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(bench::makeCorpus(m_dir.path(), 2));
}

void TestCorpus::layout_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("hasThumbnail");
    QTest::newRow("odd: EXIF without thumbnail") << 1 << false;
    QTest::newRow("even: EXIF with thumbnail") << 2 << true;
}

// EXIF right after SOI and no JFIF block (as cameras write), baseline 4000 x 3000 with 4:2:0
// sampling, a camera-like size, and pixels that a reader other than libjpeg-turbo's own decodes.
void TestCorpus::layout()
{
    QFETCH(int, index);
    QFETCH(bool, hasThumbnail);
    const QByteArray data = imagetest::readFile(picture(index));
    QVERIFY2(data.size() > 1'500'000 && data.size() < 5'000'000, QByteArray::number(data.size()).constData());

    const QList<Segment> segments = jpegSegments(data);
    QVERIFY(!segments.isEmpty());
    QCOMPARE(segments.first().marker, 0xe1);
    QVERIFY(segments.first().payload.startsWith(QByteArray("Exif\0\0II*\0", 10)));
    QCOMPARE(segments.first().payload.size() > 1000, hasThumbnail);
    QVERIFY(std::none_of(segments.begin(), segments.end(), [](const Segment& s) { return s.marker == 0xe0; }));

    const auto sof = std::find_if(segments.begin(), segments.end(), [](const Segment& s) { return s.marker == 0xc0; });
    QVERIFY(sof != segments.end());
    const QByteArray& frame = sof->payload;
    QCOMPARE(frame.size(), 6 + 3 * 3);
    QCOMPARE((uchar(frame[1]) << 8) | uchar(frame[2]), bench::kCorpusHeight);
    QCOMPARE((uchar(frame[3]) << 8) | uchar(frame[4]), bench::kCorpusWidth);
    QCOMPARE(int(uchar(frame[5])), 3);
    QCOMPARE(int(uchar(frame[7])), 0x22);
    QCOMPARE(int(uchar(frame[10])), 0x11);
    QCOMPARE(int(uchar(frame[13])), 0x11);

    QImageReader reader(picture(index));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), QSize(bench::kCorpusWidth, bench::kCorpusHeight));
}

void TestCorpus::exifReadByExiftool_data()
{
    layout_data();
}

void TestCorpus::exifReadByExiftool()
{
    QFETCH(int, index);
    QFETCH(bool, hasThumbnail);
    if (QStandardPaths::findExecutable(QStringLiteral("exiftool")).isEmpty())
        QSKIP("exiftool is not installed (libimage-exiftool-perl)");
    const QByteArray orientation =
        exiftool({QStringLiteral("-n"), QStringLiteral("-s3"), QStringLiteral("-IFD0:Orientation"), picture(index)});
    QCOMPARE(orientation.trimmed(), QByteArray("1"));
    const QByteArray thumbnail = exiftool({QStringLiteral("-b"), QStringLiteral("-ThumbnailImage"), picture(index)});
    QCOMPARE(!thumbnail.isEmpty(), hasThumbnail);
    if (hasThumbnail) {
        const QImage image = QImage::fromData(thumbnail, "JPEG");
        QCOMPARE(image.size(), QSize(bench::kCorpusThumbnailWidth, bench::kCorpusThumbnailHeight));
    }
}

// The embedded thumbnail is the same picture made small (a viewer shows it in place of the
// photo), and the photo is not a flat field.
void TestCorpus::thumbnailShowsThePicture()
{
    if (QStandardPaths::findExecutable(QStringLiteral("exiftool")).isEmpty())
        QSKIP("exiftool is not installed (libimage-exiftool-perl)");
    const QImage thumbnail =
        QImage::fromData(exiftool({QStringLiteral("-b"), QStringLiteral("-ThumbnailImage"), picture(2)}), "JPEG");
    QCOMPARE(thumbnail.size(), QSize(bench::kCorpusThumbnailWidth, bench::kCorpusThumbnailHeight));
    QImageReader reader(picture(2));
    reader.setScaledSize(thumbnail.size());
    const QImage reduced = reader.read();
    QCOMPARE(reduced.size(), thumbnail.size());
    const double difference = imagetest::meanDifference(thumbnail, reduced);
    QVERIFY2(difference < 8, QByteArray::number(difference).constData());
    QVERIFY(greyDeviation(reduced) > 10);
}

void TestCorpus::sameCountSameBytes()
{
    QTemporaryDir again;
    QVERIFY(again.isValid());
    QVERIFY(bench::makeCorpus(again.path(), 2));
    for (int index = 1; index <= 2; ++index) {
        const QByteArray first = imagetest::readFile(picture(index));
        QVERIFY(!first.isEmpty());
        QVERIFY(first == imagetest::readFile(again.filePath(bench::corpusFileName(index))));
    }
}

void TestCorpus::unwritableFolderFails()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("plain-file"));
    QFile blocker(file);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QVERIFY(!bench::makeCorpus(file + QStringLiteral("/corpus"), 1));
}

QTEST_GUILESS_MAIN(TestCorpus)
#include "tst_corpus.moc"
