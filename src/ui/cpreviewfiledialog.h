#pragma once
// An open-file dialog with a live preview: Qt's own file dialog (not the platform's, so that
// widgets can be added) with a "&Preview" check box and a 102 x 102 sunken preview box below the
// file list. The box shows the selected file through a previewer; a folder change empties it.
// CPreviewTexture is the previewer of the texture selection. UI thread only.

#include <optional>

#include <QFileDialog>

#include "imagelib/cbmpex.h"

class QCheckBox;
class QPainter;

class CAbstractPreview {
public:
    virtual ~CAbstractPreview() = default;
    // The picture to show; an empty path means nothing is selected.
    virtual void SetFile(const QString& path) = 0;
    // Draws the preview inside the rectangle.
    virtual void Draw(QPainter* dc, int x, int y, int width, int height) = 0;
};

// Shows how a picture will look as a texture: one smaller than the box in both directions is
// repeated across it in rows from the top-left corner; any other is shrunk to fit, centred.
class CPreviewTexture : public CAbstractPreview {
public:
    void SetFile(const QString& path) override;
    void Draw(QPainter* dc, int x, int y, int width, int height) override;

private:
    CBmpEx m_image;
};

class CPreviewFileDialog : public QFileDialog {
    Q_OBJECT
public:
    // The preview box's outer size, frame included.
    static constexpr int kPreviewBox = 102;

    // `preview` must outlive the dialog.
    CPreviewFileDialog(CAbstractPreview& preview, QWidget* parent = nullptr, const QString& caption = {},
                       const QString& directory = {}, const QString& filter = {});

    // The texture selection: "Select texture" in the texture folder, one existing image file, or
    // "No texture" (an empty path). Nothing on Cancel.
    static std::optional<QString> getTextureFile(QWidget* parent);

    bool previewOn() const { return m_previewOn; }
    QWidget* previewBox() const { return m_box; }
    QCheckBox* previewCheck() const { return m_check; }

private:
    void selectionChanged(const QString& path);
    void folderChanged();
    void paintBox(QPainter* painter);

    CAbstractPreview& m_preview;
    QCheckBox* m_check;
    QWidget* m_box;
    bool m_previewOn = true;
    bool m_folderChanging = false;
};
