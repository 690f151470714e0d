#include "ui/cmyrebar.h"

#include <QLayout>
#include <QVBoxLayout>

CMyRebar::CMyRebar(const QString& title, QWidget* parent) : CTexturedToolBar(title, parent), m_bands(new QWidget(this))
{
    setMovable(false);
    setFloatable(false);
    setContextMenuPolicy(Qt::PreventContextMenu);
    layout()->setContentsMargins(0, 0, 0, 0);
    auto* column = new QVBoxLayout(m_bands);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_bands->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    addWidget(m_bands);
}

void CMyRebar::addBand(QWidget* band)
{
    band->setParent(m_bands);
    m_bands->layout()->addWidget(band);
}
