// `cmake --install` into a temporary DESTDIR under the default prefix: the program, its help pages
// and textures, the desktop entry, the icons and the metainfo land in their freedesktop places,
// and the desktop's own validators accept the entry and the metainfo.

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "fileops/fileassociations.h"
#include "requiredtool.h"

class TestInstall : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void placed_data();
    void placed();
    void validated_data();
    void validated();
    void entryDeclaresEveryOwnedType();

private:
    QString installed(const QString& path) const { return m_destdir.path() + QStringLiteral("/usr/local/") + path; }

    QTemporaryDir m_destdir;
};

void TestInstall::initTestCase()
{
    QVERIFY(m_destdir.isValid());
    QProcess install;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DESTDIR"), m_destdir.path());
    install.setProcessEnvironment(environment);
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(PIXORIA_CMAKE), {QStringLiteral("--install"), QStringLiteral(PIXORIA_BUILD_DIR),
                                                   QStringLiteral("--prefix"), QStringLiteral("/usr/local")});
    QVERIFY(install.waitForFinished(120000));
    QVERIFY2(install.exitCode() == 0, install.readAll().constData());
}

void TestInstall::placed_data()
{
    QTest::addColumn<QString>("path");  // under the prefix
    QTest::addColumn<int>("iconSize");  // the side of a PNG icon; 0 for other files
    QTest::newRow("program") << "bin/zelt-pixoria" << 0;
    QTest::newRow("help") << "share/zelt-pixoria/ZeltHelp.htm" << 0;
    QTest::newRow("keyboard help") << "share/zelt-pixoria/keyboard.htm" << 0;
    QTest::newRow("texture") << "share/zelt-pixoria/texture/wood.jpg" << 0;
    QTest::newRow("desktop entry") << "share/applications/Pixoria.Image.desktop" << 0;
    QTest::newRow("metainfo") << "share/metainfo/io.github.zelt.Pixoria.metainfo.xml" << 0;
    QTest::newRow("extension globs") << "share/mime/packages/zelt-pixoria.xml" << 0;
    QTest::newRow("scalable icon") << "share/icons/hicolor/scalable/apps/zelt-pixoria.svg" << 0;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString path = QStringLiteral("share/icons/hicolor/%1x%1/apps/zelt-pixoria.png").arg(size);
        QTest::newRow(qPrintable(path)) << path << size;
    }
}

void TestInstall::placed()
{
    QFETCH(QString, path);
    QFETCH(int, iconSize);
    QVERIFY2(QFileInfo(installed(path)).isFile(), qPrintable(installed(path)));
    if (path.startsWith(u"bin/"))
        QVERIFY(QFileInfo(installed(path)).isExecutable());
    if (iconSize > 0)
        QCOMPARE(QImage(installed(path)).size(), QSize(iconSize, iconSize));
}

void TestInstall::validated_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("package");
    QTest::addColumn<QStringList>("arguments");  // the file under the prefix comes last
    QTest::newRow("desktop entry") << "desktop-file-validate" << "desktop-file-utils"
                                   << QStringList{"share/applications/Pixoria.Image.desktop"};
    QTest::newRow("metainfo") << "appstreamcli" << "appstream"
                              << QStringList{"validate", "--no-net", "share/metainfo/io.github.zelt.Pixoria.metainfo.xml"};
}

void TestInstall::validated()
{
    QFETCH(QString, program);
    QFETCH(QString, package);
    QFETCH(QStringList, arguments);
    QVERIFY2(hasTool(qPrintable(program)), missingTool(qPrintable(program), qPrintable(package)));
    arguments.last() = installed(arguments.last());
    QProcess validator;
    validator.setProcessChannelMode(QProcess::MergedChannels);
    validator.start(program, arguments);
    QVERIFY(validator.waitForFinished(60000));
    const QByteArray output = validator.readAll();
    QVERIFY2(validator.exitStatus() == QProcess::NormalExit && validator.exitCode() == 0, output.constData());
    // desktop-file-validate passes files with warnings; a warning is a fault here too.
    QVERIFY2(!output.contains("warning:") && !output.contains("error:"), output.constData());
}

void TestInstall::entryDeclaresEveryOwnedType()
{
    // A default program that does not declare a type is not offered for it by file managers.
    QFile entry(installed(QStringLiteral("share/applications/Pixoria.Image.desktop")));
    QVERIFY(entry.open(QIODevice::ReadOnly));
    QStringList declared;
    for (const QByteArray& line : entry.readAll().split('\n')) {
        if (line.startsWith("MimeType="))
            declared = QString::fromUtf8(line.mid(9)).split(u';', Qt::SkipEmptyParts);
    }
    for (const QString& extension : fileassociations::extensionsInOrder())
        QVERIFY2(declared.contains(fileassociations::mimeTypeOf(extension)), qPrintable(extension));
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
