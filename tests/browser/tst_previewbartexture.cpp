// The preview bar's background: the texture tiled from its client's top-left corner once
// "Set background texture" arrives, the bar's own background without a texture.

#include <QFile>
#include <QImage>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QTest>

#include "browser/cpreviewbar.h"
#include "core/messages.h"
#include "imagelib/cbmpex.h"
#include "recordinghost.h"
#include "ui/ctexture.h"

namespace {

QImage checker(int size)
{
    QImage image(size, size, QImage::Format_RGB32);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x)
            image.setPixel(x, y, qRgb(x * 4, y * 4, (x + y) % 2 ? 250 : 20));
    }
    return image;
}

} // namespace

class TestPreviewBarTexture : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void textureArrivesAtOnce();
};

void TestPreviewBarTexture::textureArrivesAtOnce()
{
    QFile::remove(textureFilePath());
    RecordingHost host;
    QMainWindow frame;
    CPreviewBar bar(&frame, host, host.options);
    frame.addDockWidget(Qt::LeftDockWidgetArea, &bar);
    frame.resize(640, 480);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QWidget* client = bar.client();
    const QImage plain = client->grab().toImage().convertToFormat(QImage::Format_RGB32);

    const QImage picture = checker(64);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("checker.png"));
    QVERIFY(picture.save(source));
    QVERIFY(installTexture(source));
    // Until the message arrives the bar keeps what it prepared at its first paint: nothing.
    QCOMPARE(client->grab().toImage().convertToFormat(QImage::Format_RGB32), plain);

    QVERIFY(appmsg::send(&bar, appmsg::kSetBackgroundTexture));
    const QImage shot = client->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QSize tile = CTexture::tileSize(picture.size(), client->size(), client->logicalDpiX(), client->logicalDpiY());
    QVERIFY(!tile.isEmpty());
    for (int y = 0; y < client->height(); ++y) {
        for (int x = 0; x < client->width(); ++x) {
            QVERIFY2(shot.pixel(x, y) == picture.pixel(x % tile.width(), y % tile.height()),
                     qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
        }
    }
}

QTEST_MAIN(TestPreviewBarTexture)
#include "tst_previewbartexture.moc"
