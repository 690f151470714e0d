#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include "export/cexportdialog.h"
#include "export/saveoptionsdialogs.h"
#include "exporttype.h"

namespace {

using Field = FlmSaveOptions::Index;

// Runs `answer` on the options dialog that "Options..." opens, once it is open.
template <typename Dialog> void answerOptions(CExportDialog& dialog, std::function<void(Dialog*)> answer)
{
    QMetaObject::invokeMethod(
        qApp,
        [answer] {
            auto* options = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            QVERIFY(options);
            answer(options);
        },
        Qt::QueuedConnection);
    dialog.optionsButton()->click();
}

}  // namespace

class TestExportDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void opening_data();
    void opening();
    void typeChange_data();
    void typeChange();
    void optionDialogs_data();
    void optionDialogs();
    void optionDialogsOpenWithTheirOwnValues();

private:
    QTemporaryDir m_dir;
};

void TestExportDialog::opening_data()
{
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("options");
    QTest::addColumn<QString>("name");
    QTest::newRow("photo.gif: GIF") << "photo.gif" << 2 << true << "photo.gif";
    QTest::newRow("photo.jpeg: the bitmap") << "photo.jpeg" << 1 << false << "photo.bmp";
    QTest::newRow("exact case only") << "photo.JPG" << 1 << false << "photo.bmp";
    QTest::newRow("tif") << "scan.tif" << 9 << true << "scan.tif";
    QTest::newRow("the last of the table") << "logo.wbm" << 16 << false << "logo.wbm";
    QTest::newRow("no extension") << "scan" << 1 << false << "scan.bmp";
    QTest::newRow("a dot in the folder only") << "my.pictures/scan" << 1 << false << "scan.bmp";
}

void TestExportDialog::opening()
{
    QFETCH(QString, proposed);
    QFETCH(int, format);
    QFETCH(bool, options);
    QFETCH(QString, name);
    CExportDialog dialog(m_dir.filePath(proposed));
    QCOMPARE(dialog.nameFilters().size(), CExportDialog::kFormatCount);
    QCOMPARE(dialog.formatNumber(), format);
    QCOMPARE(dialog.selectedNameFilter(), dialog.nameFilters().value(format - 1));
    QCOMPARE(dialog.optionsButton()->isEnabled(), options);
    QCOMPARE(dialog.fileName(), name);
    QCOMPARE(dialog.acceptMode(), QFileDialog::AcceptSave);
    // The record starts cleared, with the chosen format's row applied.
    const FlmSaveOptions* record = dialog.saveOptions();
    const int codes[] = {kFlmBmp, kFlmGif, kFlmJpeg, kFlmPcx, kFlmDcx, kFlmPbm, kFlmPgm, kFlmPpm,
                         kFlmTiff, kFlmPng, kFlmPsd, kFlmWmf, kFlmApm, kFlmEmf, kFlmTga, kFlmWbmp};
    QCOMPARE(record->field[Field::kFormat], codes[format - 1]);
    QCOMPARE(record->field[Field::kColours], format == 2 ? 256 : 0);
    QCOMPARE(record->field[Field::kQuality], format == 9 ? 75 : 0);
}

void TestExportDialog::typeChange_data()
{
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<QList<int>>("picked");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("options");
    QTest::addColumn<QList<int>>("fields"); // format, colours, quality, TIFF compression, any-map flag
    QTest::newRow("JPEG to PNG keeps the quality") << "a.jpg" << QList<int>{10} << "a.png" << false
                                                   << QList<int>{kFlmPng, 0, 75, 0, 0};
    QTest::newRow("a name without extension to TIFF") << "scan" << QList<int>{9} << "scan.tif" << true
                                                      << QList<int>{kFlmTiff, 0, 75, 1, 0};
    QTest::newRow("GIF, then PGM: both rows stay") << "a.bmp" << QList<int>{2, 7} << "a.pgm" << false
                                                  << QList<int>{kFlmPgm, 256, 0, 0, 1};
}

void TestExportDialog::typeChange()
{
    QFETCH(QString, proposed);
    QFETCH(QList<int>, picked);
    QFETCH(QString, name);
    QFETCH(bool, options);
    QFETCH(QList<int>, fields);
    CExportDialog dialog(m_dir.filePath(proposed));
    for (int number : picked)
        pickType(dialog, number);
    QCOMPARE(dialog.formatNumber(), picked.last());
    QCOMPARE(dialog.fileName(), name);
    QCOMPARE(dialog.optionsButton()->isEnabled(), options);
    const FlmSaveOptions* record = dialog.saveOptions();
    QCOMPARE((QList<int>{record->field[Field::kFormat], record->field[Field::kColours],
                         record->field[Field::kQuality], record->field[Field::kTiffCompression],
                         record->field[Field::kAnyMapFlag]}),
             fields);
}

void TestExportDialog::optionDialogs_data()
{
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<QString>("choice"); // what the user sets in the options dialog
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QList<int>>("fields"); // format, interlaced, optimise, quality, compression, TIFF flag
    QTest::newRow("GIF interlaced") << "a.gif" << "interlaced" << true << QList<int>{kFlmGif, 1, 0, 0, 0, 0};
    QTest::newRow("GIF optimised") << "a.gif" << "optimise" << true << QList<int>{kFlmGif, 0, 1, 0, 0, 0};
    QTest::newRow("JPEG at 40") << "a.jpg" << "40" << true << QList<int>{kFlmJpeg, 0, 0, 40, 0, 0};
    QTest::newRow("JPEG cancelled") << "a.jpg" << "40" << false << QList<int>{kFlmJpeg, 0, 0, 75, 0, 0};
    QTest::newRow("TIFF Macintosh RLE") << "a.tif" << "Macintosh RLE" << true
                                        << QList<int>{kFlmTiff, 0, 0, 75, 32773, 1};
    QTest::newRow("TIFF JPEG") << "a.tif" << "JPEG" << true << QList<int>{kFlmTiff, 0, 0, 75, 7, 1};
    QTest::newRow("TIFF LZW at 60") << "a.tif" << "LZW 60" << true << QList<int>{kFlmTiff, 0, 0, 60, 5, 1};
}

void TestExportDialog::optionDialogs()
{
    QFETCH(QString, proposed);
    QFETCH(QString, choice);
    QFETCH(bool, ok);
    QFETCH(QList<int>, fields);
    CExportDialog dialog(m_dir.filePath(proposed));
    const auto finish = [ok](QDialog* options) { ok ? options->accept() : options->reject(); };
    if (dialog.formatNumber() == 2) {
        answerOptions<CGIFOptionsDlg>(dialog, [&](CGIFOptionsDlg* options) {
            (choice == QLatin1String("interlaced") ? options->interlaced() : options->optimise())->setChecked(true);
            finish(options);
        });
    } else if (dialog.formatNumber() == 3) {
        answerOptions<CJpegOptionsDlg>(dialog, [&](CJpegOptionsDlg* options) {
            options->quality()->setValue(choice.toInt());
            finish(options);
        });
    } else {
        answerOptions<CTIFFOptionsDlg>(dialog, [&](CTIFFOptionsDlg* options) {
            const QString compression = choice.section(u' ', 0, choice.startsWith(QLatin1String("Macintosh")) ? 1 : 0);
            for (QAbstractButton* button : options->compressions()->buttons()) {
                if (button->text() == compression)
                    button->click();
            }
            if (const int quality = choice.section(u' ', -1).toInt())
                options->quality()->setValue(quality);
            finish(options);
        });
    }
    const FlmSaveOptions* record = dialog.saveOptions();
    QCOMPARE((QList<int>{record->field[Field::kFormat], record->field[Field::kInterlaced],
                         record->field[Field::kOptimise], record->field[Field::kQuality],
                         record->field[Field::kTiffCompression], record->field[Field::kTiffFlag]}),
             fields);
}

void TestExportDialog::optionDialogsOpenWithTheirOwnValues()
{
    CExportDialog dialog(m_dir.filePath(QStringLiteral("a.jpg")));
    answerOptions<CJpegOptionsDlg>(dialog, [](CJpegOptionsDlg* options) {
        QCOMPARE(options->quality()->value(), 75);
        options->quality()->setValue(40);
        options->accept();
    });
    QCOMPARE(dialog.saveOptions()->field[Field::kQuality], 40);
    // The second time shows 75 again, whatever was chosen before.
    int shown = 0;
    answerOptions<CJpegOptionsDlg>(dialog, [&shown](CJpegOptionsDlg* options) {
        shown = options->quality()->value();
        QCOMPARE(options->quality()->minimum(), 1);
        QCOMPARE(options->quality()->maximum(), 100);
        options->reject();
    });
    QCOMPARE(shown, 75);
    QCOMPARE(dialog.saveOptions()->field[Field::kQuality], 40);
    // A type without options leaves the button off.
    pickType(dialog, 10);
    QVERIFY(!dialog.optionsButton()->isEnabled());
}

QTEST_MAIN(TestExportDialog)
#include "tst_exportdialog.moc"
