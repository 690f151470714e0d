#include "browser/cdirtreeview.h"

#include <QVBoxLayout>

#include "browser/cdirtree.h"

CDirTreeView::CDirTreeView(QWidget* parent) : QWidget(parent), m_tree(new CDirTree(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tree);
    setFocusProxy(m_tree);
}
