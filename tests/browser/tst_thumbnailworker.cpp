#include <algorithm>
#include <memory>
#include <vector>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "browser/thumbnailcell.h"
#include "browser/thumbnailstore.h"
#include "browser/thumbnailworker.h"
#include "imagelib/cbmpex.h"
#include "postedevents.h"

namespace {

constexpr QSize kCell(CThumbnailStore::kCellSize, CThumbnailStore::kCellSize);

// What the worker told, in the order it told it.
struct Report {
    enum Kind { Ready, Failed, Finished };
    Kind kind;
    quint64 generation;
    quint64 id;
    QSize size;
};

class Recorder {
public:
    explicit Recorder(CThumbnailWorker& worker)
    {
        QObject::connect(&worker, &CThumbnailWorker::thumbnailReady, &m_context,
                         [this](quint64 generation, quint64 id, const QImage& picture) {
                             reports.push_back({Report::Ready, generation, id, picture.size()});
                         });
        QObject::connect(&worker, &CThumbnailWorker::failed, &m_context, [this](quint64 generation, quint64 id) {
            reports.push_back({Report::Failed, generation, id, {}});
        });
        QObject::connect(&worker, &CThumbnailWorker::finished, &m_context, [this](quint64 generation) {
            reports.push_back({Report::Finished, generation, 0, {}});
        });
    }

    // Whether the pass of `generation` (any pass for 0) has reported its end.
    bool finished(quint64 generation = 0) const
    {
        return std::any_of(reports.begin(), reports.end(), [generation](const Report& r) {
            return r.kind == Report::Finished && (generation == 0 || r.generation == generation);
        });
    }
    std::vector<quint64> readyIds() const
    {
        std::vector<quint64> ids;
        for (const Report& report : reports) {
            if (report.kind == Report::Ready)
                ids.push_back(report.id);
        }
        return ids;
    }

    std::vector<Report> reports;

private:
    QObject m_context;
};

// A picture whose every pixel differs from its neighbours, so that any change of scaling or
// position shows in a pixel comparison.
QImage pattern(QSize size, bool translucent)
{
    QImage image(size, translucent ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int alpha = translucent ? (x * 7 + y * 3) % 256 : 255;
            line[x] = qRgba((x * 37) % 256, (y * 59) % 256, (x * y) % 256, alpha);
        }
    }
    return image;
}

QString write(const QTemporaryDir& dir, const QString& name, const QImage& image, const char* format)
{
    const QString path = dir.filePath(name);
    return image.save(path, format) ? path : QString();
}

QString writeBytes(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? path : QString();
}

// `count` rows named row0000.png ..., links to one picture.
std::vector<ThumbnailJob> makeRows(const QTemporaryDir& dir, int count, QSize size = QSize(64, 48))
{
    const QString first = write(dir, QStringLiteral("row0000.png"), pattern(size, false), "PNG");
    std::vector<ThumbnailJob> jobs;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("row%1.png").arg(i, 4, 10, QLatin1Char('0'));
        if (i > 0 && !QFile::link(first, dir.filePath(name)))
            return {};
        jobs.push_back({quint64(1000 + i), name});
    }
    return jobs;
}

bool waitForFinished(const Recorder& recorder, quint64 generation = 0)
{
    return QTest::qWaitFor([&] { return recorder.finished(generation); }, 60000);
}

} // namespace

class TestThumbnailWorker : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void everyImageRowGetsOneResult_data();
    void everyImageRowGetsOneResult();
    void storeDrawsWhatDrawThumbnailDraws_data();
    void storeDrawsWhatDrawThumbnailDraws();
    void storeRefusesWhatNoWorkerMakes();
    void rowsOnScreenComeFirst_data();
    void rowsOnScreenComeFirst();
    void stoppedPassSaysNothingMore_data();
    void stoppedPassSaysNothingMore();
    void restartServesOnlyTheNewGeneration();
    void emptyPassFinishesAtOnce();

private:
    QTemporaryDir m_dir;
};

void TestThumbnailWorker::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestThumbnailWorker::everyImageRowGetsOneResult_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QSize>("picture"); // expected size of the shrunk picture; empty: no thumbnail

    const auto encoded = [](QSize size, const char* format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        pattern(size, false).save(&buffer, format);
        return bytes;
    };
    const QByteArray png = encoded(QSize(300, 200), "PNG");
    QTest::newRow("png 3:2") << png << "png" << QSize(66, 44);
    QTest::newRow("jpeg 4:3, reduced decode") << encoded(QSize(1600, 1200), "JPEG") << "jpg" << QSize(66, 49);
    QTest::newRow("bmp smaller than the area") << encoded(QSize(40, 30), "BMP") << "bmp" << QSize(40, 30);
    QTest::newRow("portrait") << encoded(QSize(120, 400), "PNG") << "png" << QSize(19, 66);
    QTest::newRow("sliver keeps one pixel") << encoded(QSize(2000, 10), "PNG") << "png" << QSize(66, 1);
    QTest::newRow("truncated png") << png.left(png.size() / 2) << "png" << QSize();
    QTest::newRow("empty file") << QByteArray() << "jpg" << QSize();
    QTest::newRow("text named jpg") << QByteArray("not a picture at all\n") << "jpg" << QSize();
    QTest::newRow("absurd png header") << QByteArray::fromHex("89504e470d0a1a0a0000000d49484452"
                                                              "7fffffff7fffffff0806000000")
                                       << "png" << QSize();
}

void TestThumbnailWorker::everyImageRowGetsOneResult()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, suffix);
    QFETCH(QSize, picture);

    // Several rows of the file among good ones, one missing file, with the whole pool.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    std::vector<ThumbnailJob> jobs = makeRows(dir, 6);
    QCOMPARE(jobs.size(), std::size_t(6));
    for (int i = 0; i < 5; ++i) {
        const QString name = QStringLiteral("case%1.%2").arg(i).arg(suffix);
        QVERIFY(!writeBytes(dir, name, bytes).isEmpty());
        jobs.insert(jobs.begin() + 2 * i, {quint64(i + 1), name});
    }
    jobs.push_back({99, QStringLiteral("gone.png")});

    CThumbnailWorker worker;
    Recorder recorder(worker);
    worker.start(dir.path(), jobs, 7);
    QVERIFY(waitForFinished(recorder));
    QVERIFY(!worker.isRunning());

    QCOMPARE(recorder.reports.size(), jobs.size() + 1);
    QCOMPARE(recorder.reports.back().kind, Report::Finished);
    for (const ThumbnailJob& job : jobs) {
        const auto count = std::count_if(recorder.reports.begin(), recorder.reports.end(),
                                         [&](const Report& r) { return r.id == job.id; });
        QCOMPARE(count, 1);
        const auto report = std::find_if(recorder.reports.begin(), recorder.reports.end(),
                                         [&](const Report& r) { return r.id == job.id; });
        QCOMPARE(report->generation, quint64(7));
        const QSize expected = job.id >= 1000 ? QSize(64, 48) : job.id == 99 ? QSize() : picture;
        QCOMPARE(report->kind, expected.isEmpty() ? Report::Failed : Report::Ready);
        QCOMPARE(report->size, expected.isEmpty() ? QSize() : expected);
    }
}

void TestThumbnailWorker::storeDrawsWhatDrawThumbnailDraws_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("translucent");
    QTest::addColumn<QByteArray>("format");

    QTest::newRow("exactly the area") << QSize(66, 66) << false << QByteArray("PNG");
    QTest::newRow("one pixel smaller") << QSize(65, 65) << false << QByteArray("PNG");
    QTest::newRow("small, odd margins") << QSize(11, 20) << false << QByteArray("BMP");
    QTest::newRow("very wide") << QSize(200, 20) << false << QByteArray("PNG");
    QTest::newRow("very tall") << QSize(10, 300) << false << QByteArray("PNG");
    QTest::newRow("camera 4:3 shrunk") << QSize(640, 480) << false << QByteArray("PNG");
    QTest::newRow("translucent, shrunk") << QSize(300, 250) << true << QByteArray("PNG");
    QTest::newRow("translucent, small") << QSize(30, 50) << true << QByteArray("PNG");
    QTest::newRow("jpeg, reduced decode") << QSize(2000, 1500) << false << QByteArray("JPEG");
}

void TestThumbnailWorker::storeDrawsWhatDrawThumbnailDraws()
{
    QFETCH(QSize, size);
    QFETCH(bool, translucent);
    QFETCH(QByteArray, format);
    const QString path = write(m_dir, QStringLiteral("same.%1").arg(QString::fromLatin1(format).toLower()),
                               pattern(size, translucent), format.constData());
    QVERIFY(!path.isEmpty());

    // The reference loads with the same size hint the worker's threads use, so that both draw
    // the very picture the library gives for thumbnails.
    CBmpEx reference;
    reference.setLoadSizeHint(QSize(66, 66));
    QVERIFY(reference.Load(path));
    const QPoint corner(13, 7); // cells are rarely drawn at the origin
    QImage expected(120, 100, QImage::Format_RGB32);
    expected.fill(Qt::magenta);
    {
        QPainter painter(&expected);
        QVERIFY(thumbnailcell::DrawThumbnail(&painter, QRect(corner, kCell), reference));
    }

    CBmpEx loader;
    const QImage picture = CThumbnailWorker::makeThumbnail(loader, path);
    QVERIFY(!picture.isNull());
    QVERIFY(translucent || picture.format() == QImage::Format_RGB888);
    CThumbnailStore store;
    QVERIFY(store.add(QImage(10, 10, QImage::Format_RGB888)) == 0); // another cell before it
    const int index = store.add(picture);
    QCOMPARE(index, 1);
    QCOMPARE(store.byteSize(), QImage(10, 10, QImage::Format_RGB888).sizeInBytes() + picture.sizeInBytes());
    QImage drawn(expected.size(), QImage::Format_RGB32);
    drawn.fill(Qt::magenta);
    {
        QPainter painter(&drawn);
        QVERIFY(store.draw(&painter, corner, index));
    }
    QCOMPARE(drawn, expected);
}

void TestThumbnailWorker::storeRefusesWhatNoWorkerMakes()
{
    CThumbnailStore store;
    QCOMPARE(store.add(QImage()), -1);
    QCOMPARE(store.add(QImage(67, 10, QImage::Format_RGB888)), -1);
    QCOMPARE(store.add(QImage(10, 67, QImage::Format_RGB888)), -1);
    QCOMPARE(store.count(), 0);
    QCOMPARE(store.add(QImage(66, 66, QImage::Format_RGB888)), 0);

    QImage canvas(80, 80, QImage::Format_RGB32);
    canvas.fill(Qt::magenta);
    const QImage untouched = canvas;
    QPainter painter(&canvas);
    QVERIFY(!store.draw(&painter, QPoint(0, 0), 1));
    QVERIFY(!store.draw(&painter, QPoint(0, 0), -1));
    QVERIFY(!store.draw(nullptr, QPoint(0, 0), 0));
    store.clear();
    QCOMPARE(store.count(), 0);
    QCOMPARE(store.byteSize(), 0);
    QVERIFY(!store.draw(&painter, QPoint(0, 0), 0));
    painter.end();
    QCOMPARE(canvas, untouched);
}

void TestThumbnailWorker::rowsOnScreenComeFirst_data()
{
    QTest::addColumn<int>("threads");
    QTest::addColumn<int>("afterResults"); // results seen before the view "scrolls"

    QTest::newRow("one thread, at start") << 1 << 0;
    QTest::newRow("one thread, while serving") << 1 << 30;
    QTest::newRow("pool, at start") << QThread::idealThreadCount() << 0;
    QTest::newRow("pool, while serving") << QThread::idealThreadCount() << 30;
}

void TestThumbnailWorker::rowsOnScreenComeFirst()
{
    QFETCH(int, threads);
    QFETCH(int, afterResults);
    constexpr int kRows = 300;
    constexpr int kOnScreen = 20;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::vector<ThumbnailJob> jobs = makeRows(dir, kRows, QSize(400, 300));
    QCOMPARE(jobs.size(), std::size_t(kRows));

    // The view scrolled to the end: its last rows, given bottom up, with ids of other rows
    // (folders) mixed in.
    std::vector<quint64> onScreen = {5, 6};
    for (int i = kRows - 1; i >= kRows - kOnScreen; --i)
        onScreen.push_back(jobs[std::size_t(i)].id);

    CThumbnailWorker worker;
    worker.setThreadCount(threads);
    Recorder recorder(worker);
    worker.start(dir.path(), jobs, 1);
    if (afterResults > 0)
        QVERIFY(QTest::qWaitFor([&] { return recorder.reports.size() >= std::size_t(afterResults); }, 60000));
    worker.setPriority(onScreen);
    QVERIFY(waitForFinished(recorder));

    const std::vector<quint64> ids = recorder.readyIds();
    QCOMPARE(ids.size(), std::size_t(kRows));
    std::vector<std::size_t> position(kRows);
    for (std::size_t i = 0; i < ids.size(); ++i)
        position[std::size_t(ids[i] - 1000)] = i;
    const std::size_t lastOnScreen = *std::max_element(position.end() - kOnScreen, position.end());
    // Every row on screen comes before most of the rows above it.
    QVERIFY2(lastOnScreen < kRows / 2, qPrintable(QString::number(lastOnScreen)));
    if (threads == 1) {
        // One thread serves exactly: the rows it began in row order, the rows on screen in row
        // order, then the rest in row order.
        const std::size_t begun = position[kRows - kOnScreen];
        QVERIFY(begun >= std::size_t(afterResults));
        for (std::size_t i = 0; i < ids.size(); ++i) {
            const std::size_t row = i < begun               ? i
                                    : i < begun + kOnScreen ? kRows - kOnScreen + (i - begun)
                                                            : i - kOnScreen;
            QCOMPARE(ids[i], jobs[row].id);
        }
    }
}

void TestThumbnailWorker::stoppedPassSaysNothingMore_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("whileDecoding"); // stopped before any result, in the first decodes

    for (const bool decoding : {false, true}) {
        const char* when = decoding ? ", first decodes" : ", after results";
        for (const char* how : {"stop", "destroy", "restart"})
            QTest::addRow("%s%s", how, when) << QString::fromLatin1(how) << decoding;
    }
}

void TestThumbnailWorker::stoppedPassSaysNothingMore()
{
    QFETCH(QString, how);
    QFETCH(bool, whileDecoding);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Large enough that the pass outlives the test's own steps by far.
    const std::vector<ThumbnailJob> jobs = makeRows(dir, 60, QSize(2500, 2000));
    QCOMPARE(jobs.size(), std::size_t(60));

    auto worker = std::make_unique<CThumbnailWorker>();
    Recorder recorder(*worker);
    worker->start(dir.path(), jobs, 3);
    if (!whileDecoding) {
        QVERIFY(QTest::qWaitFor([&] { return !recorder.reports.empty(); }, 60000));
        // Results pile up in the owner's queue while it is busy elsewhere.
        QThread::msleep(300);
    }

    if (how == QLatin1String("stop"))
        worker->stop();
    else if (how == QLatin1String("destroy"))
        worker.reset();
    else
        worker->start(dir.path(), {}, 4);
    const std::size_t told = recorder.reports.size();
    QVERIFY(told < jobs.size());
    if (worker)
        QCOMPARE(worker->isRunning(), how == QLatin1String("restart"));

    // Whatever the pool had queued for the owner is dropped; the new pass's end comes after it.
    if (how == QLatin1String("restart"))
        QVERIFY(waitForFinished(recorder, 4));
    else
        deliverPostedEvents();
    if (how == QLatin1String("restart")) {
        QCOMPARE(recorder.reports.size(), told + 1);
        QCOMPARE(recorder.reports.back().kind, Report::Finished);
        QCOMPARE(recorder.reports.back().generation, quint64(4));
    } else {
        QCOMPARE(recorder.reports.size(), told);
    }
    QVERIFY(std::none_of(recorder.reports.begin(), recorder.reports.begin() + qsizetype(told),
                         [](const Report& r) { return r.kind != Report::Ready; }));
}

void TestThumbnailWorker::restartServesOnlyTheNewGeneration()
{
    QTemporaryDir first, second;
    QVERIFY(first.isValid() && second.isValid());
    const std::vector<ThumbnailJob> old = makeRows(first, 80, QSize(1200, 900));
    std::vector<ThumbnailJob> fresh = makeRows(second, 25);
    for (ThumbnailJob& job : fresh)
        job.id += 5000;

    CThumbnailWorker worker;
    Recorder recorder(worker);
    worker.start(first.path(), old, 1);
    QVERIFY(QTest::qWaitFor([&] { return !recorder.reports.empty(); }, 60000));
    const std::size_t before = recorder.reports.size();
    worker.setPriority({old.back().id}); // a scroll of the old folder must not leak into the new
    worker.start(second.path(), fresh, 2);
    worker.setPriority({old.front().id, fresh.back().id});
    QVERIFY(waitForFinished(recorder, 2));

    const std::vector<Report> after(recorder.reports.begin() + qsizetype(before), recorder.reports.end());
    QCOMPARE(after.size(), fresh.size() + 1);
    QVERIFY(std::all_of(after.begin(), after.end(), [](const Report& r) { return r.generation == 2; }));
    std::vector<quint64> ids = recorder.readyIds();
    ids.erase(ids.begin(), ids.begin() + qsizetype(before));
    std::sort(ids.begin(), ids.end());
    for (std::size_t i = 0; i < fresh.size(); ++i)
        QCOMPARE(ids[i], fresh[i].id);
}

void TestThumbnailWorker::emptyPassFinishesAtOnce()
{
    CThumbnailWorker worker;
    Recorder recorder(worker);
    worker.setPriority({1, 2}); // before any pass: nothing to reorder
    worker.start(QStringLiteral("/nonexistent"), {}, 9);
    QVERIFY(worker.isRunning());
    QVERIFY(waitForFinished(recorder));
    QCOMPARE(recorder.reports.size(), std::size_t(1));
    QCOMPARE(recorder.reports.front().generation, quint64(9));
    QVERIFY(!worker.isRunning());
}

QTEST_MAIN(TestThumbnailWorker)
#include "tst_thumbnailworker.moc"
