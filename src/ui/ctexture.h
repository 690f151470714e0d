#pragma once
// The background texture: one picture for the whole installation, kept as a byte-for-byte copy
// named "__texture" in the user's data folder; its presence is the setting. CTexture tiles it
// behind a window's client area (the frames' toolbars, the preview bar): each textured window
// owns one, binds it to itself before use and falls back to its default background when Fill
// says there is no texture. CTexturedToolBar is such a toolbar. UI thread only.

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QToolBar>

#include "imagelib/cbmpex.h"

class QPainter;
class QWidget;

// "<user's data folder>/__texture", whether or not it exists.
QString textureFilePath();
// The folder the texture selection opens in: "texture" beside the program, else the Pictures
// folder when that one does not exist.
QString textureFolder();
// Copies `source` over the texture file through a temporary file that replaces it only when the
// whole copy was written: a failed copy leaves the old texture. False when it failed.
bool installTexture(const QString& source);
// Removes the texture file; false when it is still there.
bool removeTexture();

class CTexture : public CBmpEx {
public:
    // The window whose client area it fills; its logical dpi is used when no painter is given.
    void setWindow(QWidget* window) { m_window = window; }
    // Forgets the preparation, so that the next Fill prepares again.
    void reset() { m_prepared = false; }

    // Builds the tile for a target rectangle from the texture file, at the logical dpi of the
    // painter's device (or of the bound window without a painter). False without a bound window
    // or a readable, non-empty texture; the previous tile then stays (a failed drawing drops it).
    bool Prepare(QPainter* dc, const QRect& target);
    // Tiles the rectangle's area from its top-left corner, preparing first when needed. False
    // when there is no texture: the caller paints its default background.
    bool Fill(QPainter* dc, const QRect& rect);
    // The reaction to "Set background texture": binds `window`, prepares again for its client
    // rectangle and repaints it and its first child. Returns what Prepare returned. Without a
    // texture file the tile goes (the user chose no texture).
    bool Reload(QWidget* window);

    // The tile of a picture in a target, both in pixels, at the given dots per inch: the target's
    // size where it is narrower (or lower) than the picture, else the picture's size taken to
    // hundredths of a millimetre and back, which can lose a pixel (100 pixels at 96 dpi: 99).
    static QSize tileSize(QSize picture, QSize target, int dpiX, int dpiY);

    // The tile's size; empty before a preparation succeeded.
    QSize tile() const { return m_tile.size(); }

private:
    QWidget* m_window = nullptr;
    bool m_prepared = false;
    QImage m_tile;
};

// A toolbar whose background is the texture when there is one.
class CTexturedToolBar : public QToolBar {
    Q_OBJECT
public:
    explicit CTexturedToolBar(const QString& title, QWidget* parent = nullptr);

    // Reads the texture file again and repaints ("Set background texture").
    void reloadTexture();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CTexture m_texture;
};
