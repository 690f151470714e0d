#include "export/cexportdialog.h"

#include <algorithm>
#include <utility>

#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>

#include "export/saveoptionsdialogs.h"
#include "imagelib/cbmpex.h"

namespace {

enum class OptionsDialog { None, Gif, Jpeg, Tiff };

// One save format: its extension, its code, its options dialog and the record fields its choice
// sets (index, value; index -1 ends the list).
struct ExportFormat {
    const char* extension;
    int code;
    OptionsDialog options;
    std::pair<int, int> defaults[3];
};

using O = FlmSaveOptions;
constexpr std::pair<int, int> kEnd{-1, 0};

// The order is the library's save filter's; a format's number is its position from 1.
constexpr ExportFormat kFormats[CExportDialog::kFormatCount] = {
    {"bmp", kFlmBmp, OptionsDialog::None, {kEnd}},
    {"gif", kFlmGif, OptionsDialog::Gif, {{O::kColours, 256}, {O::kInterlaced, 0}, {O::kOptimise, 0}}},
    {"jpg", kFlmJpeg, OptionsDialog::Jpeg, {{O::kQuality, 75}, kEnd}},
    {"pcx", kFlmPcx, OptionsDialog::None, {kEnd}},
    {"dcx", kFlmDcx, OptionsDialog::None, {kEnd}},
    {"pbm", kFlmPbm, OptionsDialog::None, {{O::kAnyMapFlag, 1}, kEnd}},
    {"pgm", kFlmPgm, OptionsDialog::None, {{O::kAnyMapFlag, 1}, kEnd}},
    {"ppm", kFlmPpm, OptionsDialog::None, {{O::kAnyMapFlag, 1}, kEnd}},
    {"tif", kFlmTiff, OptionsDialog::Tiff, {{O::kQuality, 75}, {O::kTiffCompression, 1}, {O::kTiffFlag, 1}}},
    {"png", kFlmPng, OptionsDialog::None, {kEnd}},
    {"psd", kFlmPsd, OptionsDialog::None, {{O::kPsdFlag, 1}, kEnd}},
    {"wmf", kFlmWmf, OptionsDialog::None, {kEnd}},
    {"apm", kFlmApm, OptionsDialog::None, {kEnd}},
    {"emf", kFlmEmf, OptionsDialog::None, {kEnd}},
    {"tga", kFlmTga, OptionsDialog::None, {kEnd}},
    {"wbm", kFlmWbmp, OptionsDialog::None, {kEnd}},
};

const ExportFormat& formatOf(int number)
{
    return kFormats[std::clamp(number, 1, CExportDialog::kFormatCount) - 1];
}

}  // namespace

CExportDialog::CExportDialog(const QString& proposedPath, QWidget* parent)
    : QFileDialog(parent), m_options(new QPushButton(tr("Options..."), this))
{
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setWindowTitle(tr("Save as "));
    setNameFilters(CBmpEx::saveDialogFilter());
    const QFileInfo proposed(proposedPath);
    if (!proposed.path().isEmpty())
        setDirectory(proposed.absolutePath());
    selectFile(proposed.fileName());
    // Below "Cancel", in the grid Qt's own dialog lays itself out in.
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(m_options, grid->rowCount(), grid->columnCount() - 1);
    m_options->setAutoDefault(false);
    connect(m_options, &QPushButton::clicked, this, &CExportDialog::openOptions);
    connect(this, &QFileDialog::filterSelected, this,
            [this](const QString& filter) { formatChanged(int(nameFilters().indexOf(filter)) + 1); });

    const int number = formatNumberOf(proposed.fileName());
    selectNameFilter(nameFilters().value(number - 1));
    formatChanged(number);
}

QString CExportDialog::fileName() const
{
    if (const auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        return edit->text();
    return QFileInfo(selectedFiles().value(0)).fileName();
}

int CExportDialog::formatNumberOf(const QString& name)
{
    const QString extension = name.mid(name.lastIndexOf(u'.') + 1);
    for (int number = 1; number <= kFormatCount; ++number) {
        if (extension == QLatin1String(formatOf(number).extension))
            return number;
    }
    return 1;
}

QString CExportDialog::withExtension(const QString& name, int formatNumber)
{
    const QLatin1String extension(formatOf(formatNumber).extension);
    // A "." in a folder typed before the name is no extension.
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0 || dot < name.lastIndexOf(u'/'))
        return name + u'.' + extension;
    return name.left(dot + 1) + extension;
}

void CExportDialog::formatChanged(int formatNumber)
{
    m_format = std::clamp(formatNumber, 1, kFormatCount);
    const ExportFormat& format = formatOf(m_format);
    m_options->setEnabled(format.options != OptionsDialog::None);
    m_record.field[FlmSaveOptions::kFormat] = format.code;
    for (const auto& [index, value] : format.defaults) {
        if (index < 0)
            break;
        m_record.field[index] = value;
    }
    const QString name = fileName();
    if (!name.isEmpty())
        selectFile(withExtension(name, m_format));
}

void CExportDialog::openOptions()
{
    switch (formatOf(m_format).options) {
    case OptionsDialog::Gif:
        CGIFOptionsDlg(m_record, this).exec();
        break;
    case OptionsDialog::Jpeg:
        CJpegOptionsDlg(m_record, this).exec();
        break;
    case OptionsDialog::Tiff:
        CTIFFOptionsDlg(m_record, this).exec();
        break;
    case OptionsDialog::None:
        break;
    }
}
