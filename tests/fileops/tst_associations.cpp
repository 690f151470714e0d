// The File Associations dialog on a real mimeapps.list in the test's own configuration folder,
// read back by xdg-mime, which file managers and the desktop's opener agree with.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include "fileops/cassociationdlg.h"
#include "fileops/fileassociations.h"
#include "requiredtool.h"

namespace {

const QString kOurs = QStringLiteral("Pixoria.Image.desktop");
const QString kOther = QStringLiteral("other-viewer.desktop");
const QString kKeptLine = QStringLiteral("text/plain=other-viewer.desktop;");

QString queryDefault(const QString& mimeType)
{
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (!query.waitForFinished())
        return QStringLiteral("xdg-mime did not finish");
    return QString::fromUtf8(query.readAllStandardOutput()).trimmed();
}

void writeFile(const QString& path, const QString& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

QString mimeappsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/mimeapps.list");
}

QList<QCheckBox*> typeBoxes(const CAssociationDlg& dialog)
{
    QList<QCheckBox*> boxes = dialog.findChildren<QCheckBox*>();
    boxes.removeIf([](QCheckBox* box) { return box->text() == u"Choose All"; });
    return boxes;
}

QCheckBox* chooseAll(const CAssociationDlg& dialog)
{
    for (QCheckBox* box : dialog.findChildren<QCheckBox*>()) {
        if (box->text() == u"Choose All")
            return box;
    }
    return nullptr;
}

}  // namespace

class TestAssociations : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void ownership_data();
    void ownership();
    void chooseAllFollowsTheBoxes();
};

void TestAssociations::initTestCase()
{
    QVERIFY2(hasTool("xdg-mime"), missingTool("xdg-mime", "xdg-utils"));
    QCOMPARE(fileassociations::boxes().size(), 26);
    QCOMPARE(fileassociations::extensionsInOrder().size(), 29);
}

void TestAssociations::init()
{
    QFile::remove(mimeappsPath());
    QFile::remove(QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation) + u'/' + kOurs);
    writeFile(QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation) + u'/' + kOther,
              QStringLiteral("[Desktop Entry]\nType=Application\nName=Other Viewer\nExec=true %f\n"));
}

void TestAssociations::ownership_data()
{
    QTest::addColumn<QString>("before");       // [Default Applications] lines before the dialog opens
    QTest::addColumn<QStringList>("checked");  // the boxes checked in the dialog
    QTest::addColumn<QStringList>("ours");     // the extensions ours afterwards
    QTest::addColumn<QStringList>("others");   // the extensions another program's afterwards

    const QStringList jpeg{".jpg", ".jpeg", ".jpe", ".jfif"};
    QTest::newRow("Jpeg alone") << QString() << QStringList{"Jpeg"} << jpeg << QStringList();
    QTest::newRow("unchecked, another program's") << "image/png=" + kOther + ";" << QStringList{"Jpeg"} << jpeg
                                                  << QStringList{".png"};
    QTest::newRow("ours given back") << "image/gif=" + kOurs + ";" << QStringList() << QStringList() << QStringList();
    QTest::newRow("ours given back, the next program stays")
        << "image/gif=" + kOurs + ";" + kOther + ";" << QStringList() << QStringList() << QStringList{".gif"};
    QTest::newRow("checked over another program")
        << "image/png=" + kOther + ";" << QStringList{"PNG"} << QStringList{".png"} << QStringList();
    QStringList all;
    for (const fileassociations::Box& box : fileassociations::boxes())
        all << QString::fromLatin1(box.text);
    QTest::newRow("all") << QString() << all << fileassociations::extensionsInOrder() << QStringList();
}

void TestAssociations::ownership()
{
    QFETCH(QString, before);
    QFETCH(QStringList, checked);
    QFETCH(QStringList, ours);
    QFETCH(QStringList, others);
    writeFile(mimeappsPath(), "[Added Associations]\n" + kKeptLine + "\n\n[Default Applications]\n" + before + "\n");

    {
        CAssociationDlg dialog;
        for (QCheckBox* box : typeBoxes(dialog))
            box->setChecked(checked.contains(box->text()));
        dialog.accept();
    }

    for (const QString& extension : fileassociations::extensionsInOrder()) {
        const QString answer = queryDefault(fileassociations::mimeTypeOf(extension));
        if (ours.contains(extension))
            QVERIFY2(answer == kOurs, qPrintable(extension + u' ' + answer));
        else if (others.contains(extension))
            QVERIFY2(answer == kOther, qPrintable(extension + u' ' + answer));
        else
            QVERIFY2(answer != kOurs, qPrintable(extension));
    }
    QFile list(mimeappsPath());
    QVERIFY(list.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(list.readAll()).contains(kKeptLine));

    // Opened again, the dialog shows what is ours now.
    CAssociationDlg again;
    for (QCheckBox* box : typeBoxes(again)) {
        const auto row = std::find_if(fileassociations::boxes().cbegin(), fileassociations::boxes().cend(),
                                      [box](const fileassociations::Box& b) { return box->text() == QLatin1String(b.text); });
        QCOMPARE(box->isChecked(), ours.contains(row->extensions.constFirst()));
    }
    QCOMPARE(chooseAll(again)->isChecked(), ours.size() == 29);
}

void TestAssociations::chooseAllFollowsTheBoxes()
{
    CAssociationDlg dialog;
    QCheckBox* all = chooseAll(dialog);
    QVERIFY(all && !all->isChecked());
    all->click();
    for (QCheckBox* box : typeBoxes(dialog))
        QVERIFY(box->isChecked());
    typeBoxes(dialog).constFirst()->click();
    QVERIFY(!all->isChecked());
    typeBoxes(dialog).constFirst()->click();
    QVERIFY(all->isChecked());
    dialog.reject();
    QVERIFY(!QFile::exists(mimeappsPath()));
}

QTEST_MAIN(TestAssociations)
#include "tst_associations.moc"
