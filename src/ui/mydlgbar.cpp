#include "ui/mydlgbar.h"

#include <QHBoxLayout>

#include "ui/chistorybox.h"

namespace {

// Room left free at the bar's right end.
constexpr int kRightGap = 20;

} // namespace

MyDlgBar::MyDlgBar(QObject* target, QWidget* parent) : CTexturedToolBar(tr("Path History"), parent)
{
    setObjectName(QStringLiteral("AddressBar"));
    auto* client = new QWidget(this);
    client->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* row = new QHBoxLayout(client);
    row->setContentsMargins(0, 0, kRightGap, 0);
    m_box = new CHistoryBox(target, client);
    row->addWidget(m_box);
    addWidget(client);
}
