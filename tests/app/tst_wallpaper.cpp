// "Set as wallpaper" and "Restore" against a real gsettings with its keyfile backend in the test's
// own XDG_CONFIG_HOME; the written BMP is read back by GraphicsMagick.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "app/wallpapercommand.h"
#include "imagelib/cbmpex.h"
#include "platform/wallpaper.h"
#include "settings/csettingsstore.h"
#include "requiredtool.h"
#include "settings/settingskeys.h"

namespace {

const QString kSchema = QStringLiteral("org.gnome.desktop.background");

QString run(const QString& program, const QStringList& arguments, bool* ok = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    const bool finished = process.waitForFinished(30000);
    if (ok)
        *ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString gsettingsGet(const QString& key)
{
    return run(QStringLiteral("gsettings"), {QStringLiteral("get"), kSchema, key});
}

void gsettingsSet(const QString& key, const QString& value)
{
    bool ok = false;
    run(QStringLiteral("gsettings"), {QStringLiteral("set"), kSchema, key, value}, &ok);
    QVERIFY2(ok, qPrintable(key));
}

QString savedWallpaper()
{
    const settingskeys::StringValue& key = settingskeys::kSavedWallpaper;
    return CSettingsStore::GetProfileString(key.section, key.name, key.defaultValue);
}

// "BMP <width>x<height> <depth>" as GraphicsMagick reads the file.
QString identify(const QString& path)
{
    return run(QStringLiteral("gm"),
               {QStringLiteral("identify"), QStringLiteral("-format"), QStringLiteral("%m %wx%h %q"), path});
}

} // namespace

class TestWallpaper : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void eachStyle_data();
    void eachStyle();
    void restorePutsBackTheFormerWallpaper();
    void rotatedPictureKeepsFileOrientation();
    void noSupportedDesktop();
    void badPicture_data();
    void badPicture();

private:
    QString writePicture(const QString& name, QSize size);

    QTemporaryDir m_dir;
    bool m_gsettings = false;
};

void TestWallpaper::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The keyfile lives in the XDG_CONFIG_HOME that every test run gets for itself.
    qputenv("GSETTINGS_BACKEND", "keyfile");
    qputenv("XDG_CURRENT_DESKTOP", "GNOME");
    if (!QStandardPaths::findExecutable(QStringLiteral("gsettings")).isEmpty()) {
        const QString schemas = run(QStringLiteral("gsettings"), {QStringLiteral("list-schemas")});
        m_gsettings = schemas.split(QLatin1Char('\n')).contains(kSchema);
    }
    QVERIFY2(m_gsettings, missingTool("gsettings with org.gnome.desktop.background", "gsettings-desktop-schemas"));
    QVERIFY2(hasTool("gm"), missingTool("gm", "graphicsmagick"));
}

void TestWallpaper::init()
{
    qputenv("XDG_CURRENT_DESKTOP", "GNOME");
    QVERIFY(
        CSettingsStore::RemoveProfileValue(settingskeys::kSavedWallpaper.section, settingskeys::kSavedWallpaper.name));
    QFile::remove(wallpapercommand::wallpaperFilePath());
    run(QStringLiteral("gsettings"), {QStringLiteral("reset-recursively"), kSchema});
}


QString TestWallpaper::writePicture(const QString& name, QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            picture.setPixel(x, y, qRgb(x * 5, y * 5, 90));
    }
    const QString path = m_dir.filePath(name);
    return picture.save(path) ? path : QString();
}

void TestWallpaper::eachStyle_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("options");
    QTest::newRow("center") << int(wallpaper::kCenter) << "'centered'";
    QTest::newRow("tile") << int(wallpaper::kTile) << "'wallpaper'";
    QTest::newRow("stretch") << int(wallpaper::kStretch) << "'stretched'";
}

void TestWallpaper::eachStyle()
{
    QFETCH(int, style);
    const QString picture = writePicture(QStringLiteral("it's a picture.png"), QSize(40, 30));
    QVERIFY(!picture.isEmpty());
    const wallpaper::Result result = wallpapercommand::setAsWallpaper(picture, wallpaper::Style(style));
    QVERIFY2(result.ok, qPrintable(result.message));

    const QString target = wallpapercommand::wallpaperFilePath();
    QCOMPARE(QFileInfo(target).fileName(), QStringLiteral("Zelt Wallpaper.bmp"));
    const QString uri =
        QLatin1Char('\'') + QUrl::fromLocalFile(target).toString(QUrl::FullyEncoded) + QLatin1Char('\'');
    QCOMPARE(gsettingsGet(QStringLiteral("picture-uri")), uri);
    QCOMPARE(gsettingsGet(QStringLiteral("picture-uri-dark")), uri);
    QTEST(gsettingsGet(QStringLiteral("picture-options")), "options");
    QCOMPARE(identify(target), QStringLiteral("BMP 40x30 8"));
}

void TestWallpaper::restorePutsBackTheFormerWallpaper()
{
    // A wallpaper whose name needs quoting both as a URI and as GVariant text.
    const QString before = QStringLiteral("'file:///usr/share/backgrounds/it%27s%20mine.png'");
    gsettingsSet(QStringLiteral("picture-uri"), before);
    gsettingsSet(QStringLiteral("picture-uri-dark"), QStringLiteral("'file:///dark.png'"));
    gsettingsSet(QStringLiteral("picture-options"), QStringLiteral("'zoom'"));
    const QString picture = writePicture(QStringLiteral("a.png"), QSize(20, 20));

    QVERIFY(wallpapercommand::setAsWallpaper(picture, wallpaper::kTile).ok);
    const QString remembered = savedWallpaper();
    QVERIFY(!remembered.isEmpty());
    // Only the wallpaper before the first change is remembered.
    QVERIFY(wallpapercommand::setAsWallpaper(picture, wallpaper::kStretch).ok);
    QCOMPARE(savedWallpaper(), remembered);
    QCOMPARE(gsettingsGet(QStringLiteral("picture-options")), QStringLiteral("'stretched'"));

    const wallpaper::Result restored = wallpapercommand::restoreWallpaper();
    QVERIFY2(restored.ok, qPrintable(restored.message));
    QCOMPARE(gsettingsGet(QStringLiteral("picture-uri")), before);
    QCOMPARE(gsettingsGet(QStringLiteral("picture-uri-dark")), QStringLiteral("'file:///dark.png'"));
    QCOMPARE(gsettingsGet(QStringLiteral("picture-options")), QStringLiteral("'zoom'"));
    // Restored, nothing is remembered any more.
    QVERIFY(savedWallpaper().isEmpty());
    QVERIFY(!wallpapercommand::restoreWallpaper().ok);
    QCOMPARE(gsettingsGet(QStringLiteral("picture-uri")), before);
}

void TestWallpaper::rotatedPictureKeepsFileOrientation()
{
    const QString path = writePicture(QStringLiteral("wide.png"), QSize(48, 16));
    CBmpEx shown;
    QVERIFY(shown.Load(path));
    QVERIFY(shown.rotate(90));
    QCOMPARE(shown.GetSize(), QSize(16, 48));

    wallpapercommand::setAsWallpaper(shown.path(), wallpaper::kCenter);
    CBmpEx written;
    QVERIFY(written.Load(wallpapercommand::wallpaperFilePath()));
    QCOMPARE(written.GetSize(), QSize(48, 16));
    // The shown picture keeps its transform.
    QCOMPARE(shown.GetSize(), QSize(16, 48));
    QCOMPARE(identify(wallpapercommand::wallpaperFilePath()), QStringLiteral("BMP 48x16 8"));
}

void TestWallpaper::noSupportedDesktop()
{
    qputenv("XDG_CURRENT_DESKTOP", "");
    QCOMPARE(wallpaper::detectDesktop(), wallpaper::Desktop::None);
    const QString untouched = m_gsettings ? gsettingsGet(QStringLiteral("picture-uri")) : QString();
    const wallpaper::Result result =
        wallpapercommand::setAsWallpaper(writePicture(QStringLiteral("b.png"), QSize(8, 8)), wallpaper::kTile);
    QVERIFY(!result.ok);
    QVERIFY(!result.message.isEmpty());
    // The file is written all the same; nothing else happens.
    QVERIFY(QFileInfo::exists(wallpapercommand::wallpaperFilePath()));
    QVERIFY(savedWallpaper().isEmpty());
    QVERIFY(!wallpapercommand::restoreWallpaper().ok);
    if (m_gsettings)
        QCOMPARE(gsettingsGet(QStringLiteral("picture-uri")), untouched);
}

void TestWallpaper::badPicture_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("no path") << QByteArray();
    QTest::newRow("not a picture") << QByteArray("plain words");
    QTest::newRow("truncated PNG header") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
}

void TestWallpaper::badPicture()
{
    QFETCH(QByteArray, content);
    QString path;
    if (!content.isEmpty()) {
        path = m_dir.filePath(QStringLiteral("bad.png"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const QString untouched = m_gsettings ? gsettingsGet(QStringLiteral("picture-uri")) : QString();
    QVERIFY(!wallpapercommand::setAsWallpaper(path, wallpaper::kCenter).ok);
    QVERIFY(!QFileInfo::exists(wallpapercommand::wallpaperFilePath()));
    QVERIFY(savedWallpaper().isEmpty());
    if (m_gsettings)
        QCOMPARE(gsettingsGet(QStringLiteral("picture-uri")), untouched);
}

QTEST_MAIN(TestWallpaper)
#include "tst_wallpaper.moc"
