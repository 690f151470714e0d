#pragma once
// The format options of Save As: CGIFOptionsDlg, CJpegOptionsDlg and CTIFFOptionsDlg. Each opens
// with its fixed initial values (never the last choices) and, on OK, writes its choices into the
// save-options record it was given; Cancel leaves the record as it was. UI thread only.

#include <QDialog>

#include "imagelib/flm.h"

class QButtonGroup;
class QCheckBox;
class QSpinBox;

// "GIF Options": "Interlaced" and "Use optimization", both unchecked.
class CGIFOptionsDlg : public QDialog {
    Q_OBJECT
public:
    CGIFOptionsDlg(FlmSaveOptions& record, QWidget* parent = nullptr);
    QCheckBox* interlaced() const { return m_interlaced; }
    QCheckBox* optimise() const { return m_optimise; }

    void accept() override;

private:
    FlmSaveOptions& m_record;
    QCheckBox* m_interlaced;
    QCheckBox* m_optimise;
};

// "JPEG Options": "Image quality:" from 1 to 100, at 75.
class CJpegOptionsDlg : public QDialog {
    Q_OBJECT
public:
    CJpegOptionsDlg(FlmSaveOptions& record, QWidget* parent = nullptr);
    QSpinBox* quality() const { return m_quality; }

    void accept() override;

private:
    FlmSaveOptions& m_record;
    QSpinBox* m_quality;
};

// "TIFF Options": the "Compression" group ("None" chosen) and "Image quality:" at 75.
class CTIFFOptionsDlg : public QDialog {
    Q_OBJECT
public:
    // The compressions offered, in their order, with the TIFF Compression field's values.
    struct Compression {
        const char* text;
        int value;
    };
    static const Compression kCompressions[7];

    CTIFFOptionsDlg(FlmSaveOptions& record, QWidget* parent = nullptr);
    QButtonGroup* compressions() const { return m_compressions; }
    QSpinBox* quality() const { return m_quality; }

    void accept() override;

private:
    FlmSaveOptions& m_record;
    QButtonGroup* m_compressions;
    QSpinBox* m_quality;
};
