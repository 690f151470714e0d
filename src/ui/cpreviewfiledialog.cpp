#include "ui/cpreviewfiledialog.h"

#include <algorithm>
#include <functional>

#include <QCheckBox>
#include <QGridLayout>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPushButton>

#include "ui/ctexture.h"

namespace {

// The box below the file list; the dialog paints it.
class PreviewBox : public QWidget {
public:
    PreviewBox(std::function<void(QPainter*)> paint, QWidget* parent) : QWidget(parent), m_paint(std::move(paint))
    {
        setFixedSize(CPreviewFileDialog::kPreviewBox, CPreviewFileDialog::kPreviewBox);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        m_paint(&painter);
    }

private:
    std::function<void(QPainter*)> m_paint;
};

} // namespace

void CPreviewTexture::SetFile(const QString& path)
{
    // What a failed load leaves in the handle is not shown: the box stays empty.
    if (path.isEmpty() || !m_image.Load(path))
        m_image.Clear();
}

void CPreviewTexture::Draw(QPainter* dc, int x, int y, int width, int height)
{
    if (m_image.isEmpty())
        return;
    const QSize picture = m_image.GetSize();
    if (picture.isEmpty() || width <= 0 || height <= 0)
        return;
    if (picture.width() < width && picture.height() < height) {
        QImage tile(picture, QImage::Format_ARGB32_Premultiplied);
        tile.fill(Qt::transparent);
        QPainter tilePainter(&tile);
        const bool drawn = m_image.draw(&tilePainter, QPoint(0, 0));
        tilePainter.end();
        if (!drawn)
            return;
        // Rows from the top, each starting at the box's left edge.
        dc->save();
        dc->setBrushOrigin(x, y);
        dc->fillRect(QRect(x, y, width, height), QBrush(tile));
        dc->restore();
        return;
    }
    const double scale = std::min(double(width) / picture.width(), double(height) / picture.height());
    const int drawnWidth = int(picture.width() * scale);
    const int drawnHeight = int(picture.height() * scale);
    const int left = x + (width - drawnWidth) / 2;
    const int top = y + (height - drawnHeight) / 2;
    // A picture that cannot be drawn leaves the box empty, as a failed load does.
    [[maybe_unused]] const bool drawn = m_image.drawScaled(dc, QRect(left, top, drawnWidth, drawnHeight));
}

CPreviewFileDialog::CPreviewFileDialog(CAbstractPreview& preview, QWidget* parent, const QString& caption,
                                       const QString& directory, const QString& filter)
    : QFileDialog(parent, caption, directory, filter), m_preview(preview)
{
    setOption(QFileDialog::DontUseNativeDialog);
    m_check = new QCheckBox(tr("&Preview"), this);
    m_check->setChecked(m_previewOn);
    m_box = new PreviewBox([this](QPainter* painter) { paintBox(painter); }, this);
    // Qt's own dialog lays itself out in a grid: the check box and the box go below everything.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        const int row = grid->rowCount();
        grid->addWidget(m_check, row, 0, 1, grid->columnCount());
        grid->addWidget(m_box, row + 1, 0, 1, grid->columnCount(), Qt::AlignLeft);
    }
    connect(this, &QFileDialog::currentChanged, this, &CPreviewFileDialog::selectionChanged);
    connect(this, &QFileDialog::directoryEntered, this, &CPreviewFileDialog::folderChanged);
    connect(m_check, &QCheckBox::toggled, this, [this](bool checked) {
        m_previewOn = checked;
        m_box->update();
    });
}

std::optional<QString> CPreviewFileDialog::getTextureFile(QWidget* parent)
{
    constexpr int kNoTexture = QDialog::Accepted + 1;
    CPreviewTexture preview;
    CPreviewFileDialog dialog(preview, parent, tr("Select texture"), textureFolder(),
                              QStringLiteral("All Images (*.bmp *.jpg *.jpe *.jpeg);;All Files (*)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    // The way back to the plain background.
    auto* none = new QPushButton(tr("&No texture"), &dialog);
    none->setObjectName(QStringLiteral("noTexture"));
    none->setAutoDefault(false);
    connect(none, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(kNoTexture); });
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(none, grid->rowCount() - 2, grid->columnCount() - 1, Qt::AlignRight);
    switch (dialog.exec()) {
    case QDialog::Accepted:
        return dialog.selectedFiles().value(0);
    case kNoTexture:
        return QString();
    default:
        return std::nullopt;
    }
}

void CPreviewFileDialog::selectionChanged(const QString& path)
{
    if (!m_folderChanging && m_previewOn) {
        m_preview.SetFile(path);
        m_box->update();
    }
    m_folderChanging = false;
}

void CPreviewFileDialog::folderChanged()
{
    m_folderChanging = true;
    m_preview.SetFile(QString());
    m_box->update();
}

void CPreviewFileDialog::paintBox(QPainter* painter)
{
    const QRect box = m_box->rect();
    const QPalette& colours = m_box->palette();
    // Sunken: shadow along the top and left, highlight along the bottom and right.
    painter->fillRect(box.left(), box.top(), box.width(), 1, colours.color(QPalette::Dark));
    painter->fillRect(box.left(), box.top(), 1, box.height(), colours.color(QPalette::Dark));
    painter->fillRect(box.left(), box.bottom(), box.width(), 1, colours.color(QPalette::Light));
    painter->fillRect(box.right(), box.top(), 1, box.height(), colours.color(QPalette::Light));
    if (!m_previewOn)
        return;
    const QRect inside = box.adjusted(1, 1, -1, -1);
    painter->setClipRect(inside);
    m_preview.Draw(painter, inside.x(), inside.y(), inside.width(), inside.height());
}
