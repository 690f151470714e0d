#include "export/saveoptionsdialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QSpacerItem>
#include <QFormLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr int kDefaultQuality = 75;

QSpinBox* makeQualityBox(QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setRange(1, 100);
    box->setValue(kDefaultQuality);
    return box;
}

// The dialog's buttons below `content`; the dialog keeps its size, wide enough for its title
// beside the window manager's buttons.
void finishLayout(QDialog* dialog, QLayout* content)
{
    constexpr int kTitleButtonsWidth = 120;
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(content);
    layout->addWidget(buttons);
    const int titleWidth = QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(dialog->windowTitle());
    layout->addSpacerItem(new QSpacerItem(titleWidth + kTitleButtonsWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace

CGIFOptionsDlg::CGIFOptionsDlg(FlmSaveOptions& record, QWidget* parent)
    : QDialog(parent), m_record(record), m_interlaced(new QCheckBox(tr("Interlaced"), this)),
      m_optimise(new QCheckBox(tr("Use optimization"), this))
{
    setWindowTitle(tr("GIF Options"));
    auto* content = new QVBoxLayout;
    content->addWidget(m_interlaced);
    content->addWidget(m_optimise);
    finishLayout(this, content);
}

void CGIFOptionsDlg::accept()
{
    m_record.field[FlmSaveOptions::kFormat] = kFlmGif;
    m_record.field[FlmSaveOptions::kColours] = 256;
    m_record.field[FlmSaveOptions::kInterlaced] = m_interlaced->isChecked() ? 1 : 0;
    m_record.field[FlmSaveOptions::kOptimise] = m_optimise->isChecked() ? 1 : 0;
    QDialog::accept();
}

CJpegOptionsDlg::CJpegOptionsDlg(FlmSaveOptions& record, QWidget* parent)
    : QDialog(parent), m_record(record), m_quality(makeQualityBox(this))
{
    setWindowTitle(tr("JPEG Options"));
    auto* content = new QFormLayout;
    content->addRow(tr("Image quality:"), m_quality);
    finishLayout(this, content);
}

void CJpegOptionsDlg::accept()
{
    m_record.field[FlmSaveOptions::kFormat] = kFlmJpeg;
    m_record.field[FlmSaveOptions::kQuality] = m_quality->value();
    QDialog::accept();
}

// 6 is not offered; "Macintosh RLE" is PackBits.
const CTIFFOptionsDlg::Compression CTIFFOptionsDlg::kCompressions[7] = {
    {QT_TR_NOOP("None"), 1}, {QT_TR_NOOP("Huffman RLE"), 2}, {QT_TR_NOOP("CCITT Group 3"), 3},
    {QT_TR_NOOP("CCITT Group 4"), 4}, {QT_TR_NOOP("LZW"), 5}, {QT_TR_NOOP("JPEG"), 7},
    {QT_TR_NOOP("Macintosh RLE"), 32773},
};

CTIFFOptionsDlg::CTIFFOptionsDlg(FlmSaveOptions& record, QWidget* parent)
    : QDialog(parent), m_record(record), m_compressions(new QButtonGroup(this)), m_quality(makeQualityBox(this))
{
    setWindowTitle(tr("TIFF Options"));
    auto* group = new QGroupBox(tr("Compression"), this);
    auto* choices = new QVBoxLayout(group);
    for (const Compression& compression : kCompressions) {
        auto* button = new QRadioButton(tr(compression.text), group);
        m_compressions->addButton(button, compression.value);
        choices->addWidget(button);
    }
    m_compressions->button(kCompressions[0].value)->setChecked(true);
    auto* content = new QVBoxLayout;
    content->addWidget(group);
    auto* quality = new QFormLayout;
    quality->addRow(tr("Image quality:"), m_quality);
    content->addLayout(quality);
    finishLayout(this, content);
}

void CTIFFOptionsDlg::accept()
{
    m_record.field[FlmSaveOptions::kFormat] = kFlmTiff;
    m_record.field[FlmSaveOptions::kQuality] = m_quality->value();
    m_record.field[FlmSaveOptions::kTiffCompression] = m_compressions->checkedId();
    m_record.field[FlmSaveOptions::kTiffFlag] = 1;
    QDialog::accept();
}
