#pragma once
// CMyRebar: the strip at the top of a frame that holds its bars as bands, each stretched to the
// strip's width, and paints the background texture behind all of them (the bands draw no
// background of their own). It cannot be moved or floated and has no menu of its own: its
// bands bring theirs. UI thread only.

#include "ui/ctexture.h"

class CMyRebar : public CTexturedToolBar {
    Q_OBJECT
public:
    explicit CMyRebar(const QString& title, QWidget* parent = nullptr);

    // Adds a band below the ones there are; the band gets the whole width.
    void addBand(QWidget* band);

private:
    QWidget* m_bands;
};
