#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QApplication>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "ui/cpreviewfiledialog.h"
#include "ui/ctexture.h"

namespace {

const QRgb kBackground = qRgb(255, 0, 255);

// Every pixel of the picture differs from its neighbours, so a shifted or clipped tile shows.
QImage gradient(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 3) & 255, (y * 3) & 255, (x * 7 + y * 5) & 255));
    }
    return image;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// An owner of a texture as the bars are: its background is the texture, else a flat colour.
class TexturedWidget : public QWidget {
public:
    using QWidget::QWidget;
    CTexture texture;
    bool filled = false;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        texture.setWindow(this);
        filled = texture.Fill(&painter, rect());
        if (!filled)
            painter.fillRect(rect(), QColor(kBackground));
    }
};

// Where the first wrong pixel is, or an empty string when `shot` at `origin` shows `picture`
// tiled every `tile` pixels from that corner over `size`.
QString compareTiling(const QImage& shot, QPoint origin, QSize size, const QImage& picture, QSize tile)
{
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QRgb expected = picture.pixel(x % tile.width(), y % tile.height());
            const QRgb actual = shot.pixel(origin.x() + x, origin.y() + y);
            if (actual != expected)
                return QStringLiteral("pixel %1,%2: %3 instead of %4")
                    .arg(x)
                    .arg(y)
                    .arg(actual, 8, 16)
                    .arg(expected, 8, 16);
        }
    }
    return {};
}

QSize dpiOf(const QWidget& widget)
{
    return QSize(widget.logicalDpiX(), widget.logicalDpiY());
}

// A picture painted at a chosen resolution: QImage's logical dpi is its dots per metre.
QImage canvasAt(int dpi, QSize size)
{
    QImage canvas(size, QImage::Format_RGB32);
    canvas.fill(kBackground);
    canvas.setDotsPerMeterX(qRound(dpi / 0.0254));
    canvas.setDotsPerMeterY(qRound(dpi / 0.0254));
    return canvas;
}

// A previewer that records what the dialog hands it.
class RecordingPreview : public CAbstractPreview {
public:
    QStringList files;
    void SetFile(const QString& path) override { files << path; }
    void Draw(QPainter* dc, int x, int y, int width, int height) override
    {
        dc->fillRect(x, y, width, height, Qt::green);
    }
};

} // namespace

class TestTexture : public QObject {
    Q_OBJECT
private slots:
    void init();
    void tileSize_data();
    void tileSize();
    void tilesFromEachWindowsCorner();
    void toolBarIsTextured();
    void largerPictureGivesTargetAsTile();
    void tileAtResolution_data();
    void tileAtResolution();
    void noUsableTexture_data();
    void noUsableTexture();
    void reloadAfterTheFileWentBad_data();
    void reloadAfterTheFileWentBad();
    void failedCopyKeepsTheTexture();
    void previewTexture_data();
    void previewTexture();
    void dialogFollowsSelectionAndFolder();
    void textureSelectionAnswers_data();
    void textureSelectionAnswers();

private:
    void installPicture(const QImage& picture);
    QTemporaryDir m_dir;
};

void TestTexture::init()
{
    QFile::remove(textureFilePath());
    QVERIFY(m_dir.isValid());
}

void TestTexture::installPicture(const QImage& picture)
{
    const QString source = m_dir.filePath(QStringLiteral("picture.png"));
    QVERIFY(picture.save(source, "PNG"));
    QVERIFY(installTexture(source));
    QCOMPARE(readFile(textureFilePath()), readFile(source));
}

void TestTexture::tileSize_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<QSize>("tile");
    QTest::newRow("100 at 96 dpi loses a pixel") << QSize(100, 100) << QSize(300, 300) << 96 << QSize(99, 99);
    QTest::newRow("64 at 96 dpi loses a pixel") << QSize(64, 64) << QSize(500, 300) << 96 << QSize(63, 63);
    QTest::newRow("multiples of 24 survive 96 dpi") << QSize(48, 72) << QSize(500, 300) << 96 << QSize(48, 72);
    QTest::newRow("127 dpi is exact") << QSize(100, 64) << QSize(300, 300) << 127 << QSize(100, 64);
    QTest::newRow("72 dpi") << QSize(100, 10) << QSize(300, 300) << 72 << QSize(99, 9);
    QTest::newRow("target as wide as the picture") << QSize(100, 100) << QSize(100, 100) << 96 << QSize(99, 99);
    QTest::newRow("target a pixel narrower") << QSize(100, 100) << QSize(99, 300) << 96 << QSize(99, 99);
    QTest::newRow("target lower than the picture") << QSize(64, 64) << QSize(500, 40) << 96 << QSize(63, 40);
    QTest::newRow("target smaller both ways") << QSize(200, 150) << QSize(120, 50) << 96 << QSize(120, 50);
    QTest::newRow("one pixel never tiles by 0") << QSize(1, 1) << QSize(50, 50) << 96 << QSize(1, 1);
    QTest::newRow("empty target") << QSize(64, 64) << QSize(0, 30) << 96 << QSize();
    QTest::newRow("no resolution") << QSize(64, 64) << QSize(30, 30) << 0 << QSize();
}

void TestTexture::tileSize()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, target);
    QFETCH(int, dpi);
    QTEST(CTexture::tileSize(picture, target, dpi, dpi), "tile");
}

void TestTexture::tilesFromEachWindowsCorner()
{
    const QImage picture = gradient(64, 64);
    installPicture(picture);
    QWidget parent;
    parent.resize(400, 300);
    parent.setAutoFillBackground(true);
    TexturedWidget first(&parent);
    first.setGeometry(0, 0, 400, 100);
    TexturedWidget second(&parent);
    second.setGeometry(13, 117, 250, 150);
    const QImage shot = parent.grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (TexturedWidget* window : {&first, &second}) {
        QVERIFY(window->filled);
        const QSize tile =
            CTexture::tileSize(picture.size(), window->size(), dpiOf(*window).width(), dpiOf(*window).height());
        QCOMPARE(window->texture.tile(), tile);
        const QString wrong = compareTiling(shot, window->pos(), window->size(), picture, tile);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    }
}

void TestTexture::toolBarIsTextured()
{
    const QImage picture = gradient(64, 64);
    CTexturedToolBar bar(QStringLiteral("Toolbar"));
    bar.setMovable(false);
    bar.resize(300, 40);
    const QImage plain = bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(compareTiling(plain, QPoint(0, 0), bar.size(), picture, QSize(63, 40)) != QString());

    installPicture(picture);
    bar.reloadTexture();
    const QImage shot = bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QSize tile = CTexture::tileSize(picture.size(), bar.size(), dpiOf(bar).width(), dpiOf(bar).height());
    const QString wrong = compareTiling(shot, QPoint(0, 0), bar.size(), picture, tile);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
}

void TestTexture::largerPictureGivesTargetAsTile()
{
    const QImage picture = gradient(200, 150);
    installPicture(picture);
    TexturedWidget window;
    window.resize(120, 50);
    QImage shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(window.texture.tile(), QSize(120, 50));
    QString wrong = compareTiling(shot, QPoint(0, 0), window.size(), picture, QSize(120, 50));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));

    // Grown later, the window repeats the top-left part it was prepared with.
    window.resize(300, 130);
    shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    wrong = compareTiling(shot, QPoint(0, 0), window.size(), picture, QSize(120, 50));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
}

void TestTexture::tileAtResolution_data()
{
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("period");
    QTest::newRow("96 dpi: every 99 pixels") << 96 << 99;
    QTest::newRow("127 dpi: every 100 pixels") << 127 << 100;
}

void TestTexture::tileAtResolution()
{
    QFETCH(int, dpi);
    QFETCH(int, period);
    const QImage picture = gradient(100, 100);
    installPicture(picture);
    QWidget window;
    CTexture texture;
    texture.setWindow(&window);
    QImage canvas = canvasAt(dpi, QSize(250, 230));
    QPainter painter(&canvas);
    QVERIFY(texture.Fill(&painter, canvas.rect()));
    painter.end();
    QCOMPARE(texture.tile(), QSize(period, period));
    const QString wrong = compareTiling(canvas, QPoint(0, 0), canvas.size(), picture, QSize(period, period));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
}

void TestTexture::noUsableTexture_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("asFolder");
    QByteArray png;
    {
        QImage picture = gradient(64, 64);
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
    }
    QTest::newRow("no file") << QByteArray() << false;
    QTest::newRow("empty file") << QByteArray("") << false;
    QTest::newRow("not a picture") << QByteArray("just some words, no picture at all") << false;
    QTest::newRow("truncated PNG") << png.left(60) << false;
    QTest::newRow("a folder by that name") << QByteArray() << true;
}

void TestTexture::noUsableTexture()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, asFolder);
    QVERIFY(QDir().mkpath(QFileInfo(textureFilePath()).absolutePath()));
    if (asFolder)
        QVERIFY(QDir().mkpath(textureFilePath()));
    else if (QTest::currentDataTag() != QLatin1String("no file"))
        QVERIFY(writeFile(textureFilePath(), content));
    TexturedWidget window;
    window.resize(80, 40);
    const QImage shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QDir().rmdir(textureFilePath());
    QVERIFY(!window.filled);
    QCOMPARE(shot.pixel(0, 0), kBackground);
    QCOMPARE(shot.pixel(79, 39), kBackground);
    // Without a bound window there is nothing to prepare for.
    CTexture unbound;
    QVERIFY(!unbound.Prepare(nullptr, QRect(0, 0, 80, 40)));
}

void TestTexture::reloadAfterTheFileWentBad_data()
{
    QTest::addColumn<bool>("removed");
    QTest::newRow("unreadable: the old texture stays on screen") << false;
    QTest::newRow("removed: no texture") << true;
}

void TestTexture::reloadAfterTheFileWentBad()
{
    QFETCH(bool, removed);
    const QImage picture = gradient(64, 64);
    installPicture(picture);
    TexturedWidget window;
    window.resize(200, 100);
    QVERIFY(window.texture.Reload(&window));
    const QSize tile = window.texture.tile();
    if (removed)
        QVERIFY(removeTexture());
    else
        QVERIFY(writeFile(textureFilePath(), "no picture in here"));
    QVERIFY(!window.texture.Reload(&window));
    const QImage shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(window.filled, !removed);
    QCOMPARE(window.texture.tile().isEmpty(), removed);
    if (!removed) {
        const QString wrong = compareTiling(shot, QPoint(0, 0), window.size(), picture, tile);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    }
}

void TestTexture::failedCopyKeepsTheTexture()
{
    installPicture(gradient(64, 64));
    const QByteArray before = readFile(textureFilePath());
    QVERIFY(!installTexture(m_dir.filePath(QStringLiteral("missing.png"))));
    QVERIFY(!installTexture(m_dir.path()));
    QCOMPARE(readFile(textureFilePath()), before);
    // No temporary file is left beside the texture.
    QCOMPARE(QDir(QFileInfo(textureFilePath()).absolutePath()).entryList(QDir::Files), QStringList{"__texture"});
}

void TestTexture::previewTexture_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("fitted"); // empty: tiled from the box's corner
    QTest::newRow("small: tiled") << QSize(10, 7) << QRect();
    QTest::newRow("a pixel smaller: tiled") << QSize(99, 99) << QRect();
    QTest::newRow("as wide as the box: fitted") << QSize(100, 50) << QRect(1, 26, 100, 50);
    QTest::newRow("wide: shrunk and centred") << QSize(400, 100) << QRect(1, 38, 100, 25);
    QTest::newRow("tall: shrunk and centred") << QSize(50, 200) << QRect(38, 1, 25, 100);
    QTest::newRow("truncated scale") << QSize(300, 299) << QRect(1, 1, 100, 99);
}

void TestTexture::previewTexture()
{
    QFETCH(QSize, picture);
    QFETCH(QRect, fitted);
    const QString path = m_dir.filePath(QStringLiteral("preview.png"));
    // Tiling is checked on a picture whose every pixel differs; fitting on a flat one, which
    // smooth shrinking leaves as it is.
    const QImage image = fitted.isEmpty() ? gradient(picture.width(), picture.height()) : [&] {
        QImage flat(picture, QImage::Format_RGB32);
        flat.fill(qRgb(10, 200, 30));
        return flat;
    }();
    QVERIFY(image.save(path, "PNG"));
    CPreviewTexture preview;
    preview.SetFile(path);
    QImage canvas(102, 102, QImage::Format_RGB32);
    canvas.fill(kBackground);
    QPainter painter(&canvas);
    preview.Draw(&painter, 1, 1, 100, 100);
    painter.end();
    if (fitted.isEmpty()) {
        const QString wrong = compareTiling(canvas, QPoint(1, 1), QSize(100, 100), image, picture);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    } else {
        for (int y = 0; y < canvas.height(); ++y) {
            for (int x = 0; x < canvas.width(); ++x) {
                const QRgb expected = fitted.contains(x, y) ? qRgb(10, 200, 30) : kBackground;
                QVERIFY2(canvas.pixel(x, y) == expected, qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
        }
    }
    // An empty path and a file that does not load both leave the box empty.
    for (const QString& nothing : {QString(), m_dir.filePath(QStringLiteral("missing.png"))}) {
        preview.SetFile(path);
        preview.SetFile(nothing);
        canvas.fill(kBackground);
        painter.begin(&canvas);
        preview.Draw(&painter, 1, 1, 100, 100);
        painter.end();
        QCOMPARE(canvas.pixel(50, 50), kBackground);
    }
}

void TestTexture::dialogFollowsSelectionAndFolder()
{
    const QString sub = m_dir.filePath(QStringLiteral("sub"));
    QVERIFY(QDir().mkpath(sub));
    const QString file = m_dir.filePath(QStringLiteral("a.png"));
    QVERIFY(gradient(10, 10).save(file, "PNG"));
    RecordingPreview preview;
    CPreviewFileDialog dialog(preview, nullptr, QStringLiteral("Select texture"), m_dir.path());
    QCOMPARE(dialog.previewBox()->size(), QSize(CPreviewFileDialog::kPreviewBox, CPreviewFileDialog::kPreviewBox));
    QVERIFY(dialog.testOption(QFileDialog::DontUseNativeDialog));

    emit dialog.currentChanged(file);
    QCOMPARE(preview.files, QStringList{file});
    QImage box = dialog.previewBox()->grab().toImage();
    QCOMPARE(box.pixel(50, 50), QColor(Qt::green).rgb());
    // The frame is sunken: dark at the top-left, light at the bottom-right.
    QCOMPARE(box.pixel(0, 50), dialog.previewBox()->palette().color(QPalette::Dark).rgb());
    QCOMPARE(box.pixel(101, 50), dialog.previewBox()->palette().color(QPalette::Light).rgb());

    // A folder change empties the box, and the selection change reported with it is not shown.
    emit dialog.directoryEntered(sub);
    QCOMPARE(preview.files.last(), QString());
    emit dialog.currentChanged(sub);
    QCOMPARE(preview.files.size(), 2);
    emit dialog.currentChanged(file);
    QCOMPARE(preview.files.last(), file);

    // Cleared, the box shows its frame only and the previewer hears nothing until it is checked.
    dialog.previewCheck()->setChecked(false);
    QVERIFY(!dialog.previewOn());
    box = dialog.previewBox()->grab().toImage();
    QVERIFY(box.pixel(50, 50) != QColor(Qt::green).rgb());
    const qsizetype heard = preview.files.size();
    emit dialog.currentChanged(file);
    QCOMPARE(preview.files.size(), heard);
    dialog.previewCheck()->setChecked(true);
    emit dialog.currentChanged(file);
    QCOMPARE(preview.files.size(), heard + 1);
}

void TestTexture::textureSelectionAnswers_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("textureAfter");
    QTest::newRow("a picture") << "a picture" << true;
    QTest::newRow("No texture") << "No texture" << false;
    QTest::newRow("Cancel keeps it") << "Cancel" << true;
}

void TestTexture::textureSelectionAnswers()
{
    QFETCH(QString, answer);
    QFETCH(bool, textureAfter);
    installPicture(gradient(16, 16));
    const QString file = m_dir.filePath(QStringLiteral("b.png"));
    QVERIFY(gradient(8, 8).save(file, "PNG"));
    // The dialog is answered once it runs.
    QMetaObject::invokeMethod(
        qApp,
        [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            if (answer == QLatin1String("a picture")) {
                dialog->selectFile(file);
                static_cast<QDialog*>(dialog)->accept();
            } else if (answer == QLatin1String("No texture")) {
                dialog->findChild<QPushButton*>(QStringLiteral("noTexture"))->click();
            } else {
                dialog->reject();
            }
        },
        Qt::QueuedConnection);
    const std::optional<QString> chosen = CPreviewFileDialog::getTextureFile(nullptr);
    QCOMPARE(chosen.has_value(), answer != QLatin1String("Cancel"));
    if (answer == QLatin1String("a picture"))
        QCOMPARE(*chosen, file);
    if (chosen)
        QVERIFY(chosen->isEmpty() ? removeTexture() : installTexture(*chosen));
    QCOMPARE(QFileInfo::exists(textureFilePath()), textureAfter);
}

QTEST_MAIN(TestTexture)
#include "tst_texture.moc"
