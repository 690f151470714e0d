#include "ui/ccustomizetoolbardlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/commands.h"
#include "ui/cmytoolbar.h"

namespace {

constexpr int kIndexRole = Qt::UserRole;

void addRow(QListWidget* list, CMyToolBar::Mode mode, int index)
{
    auto* item = index == CMyToolBar::kSeparator
                     ? new QListWidgetItem(QObject::tr("Separator"))
                     : new QListWidgetItem(cmd::icon(CMyToolBar::command(mode, index)), CMyToolBar::label(mode, index));
    item->setData(kIndexRole, index);
    list->addItem(item);
}

} // namespace

CCustomizeToolBarDlg::CCustomizeToolBarDlg(CMyToolBar& bar, QWidget* parent)
    : QDialog(parent),
      m_bar(bar),
      m_available(new QListWidget(this)),
      m_current(new QListWidget(this)),
      m_add(new QPushButton(tr("&Add ->"), this)),
      m_remove(new QPushButton(tr("<- &Remove"), this)),
      m_up(new QPushButton(tr("Move &Up"), this)),
      m_down(new QPushButton(tr("Move &Down"), this))
{
    setWindowTitle(tr("Customize Toolbar"));
    m_available->setObjectName(QStringLiteral("available"));
    m_current->setObjectName(QStringLiteral("current"));
    auto* reset = new QPushButton(tr("R&eset"), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);

    auto* middle = new QVBoxLayout;
    middle->addStretch();
    middle->addWidget(m_add);
    middle->addWidget(m_remove);
    middle->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(m_up);
    right->addWidget(m_down);
    right->addStretch();
    right->addWidget(reset);
    auto* availableLabel = new QLabel(tr("A&vailable buttons:"), this);
    availableLabel->setBuddy(m_available);
    auto* currentLabel = new QLabel(tr("&Toolbar buttons:"), this);
    currentLabel->setBuddy(m_current);
    auto* grid = new QGridLayout(this);
    grid->addWidget(availableLabel, 0, 0);
    grid->addWidget(currentLabel, 0, 2);
    grid->addWidget(m_available, 1, 0);
    grid->addLayout(middle, 1, 1);
    grid->addWidget(m_current, 1, 2);
    grid->addLayout(right, 1, 3);
    grid->addWidget(buttons, 2, 0, 1, 4);

    connect(m_add, &QPushButton::clicked, this, &CCustomizeToolBarDlg::add);
    connect(m_remove, &QPushButton::clicked, this, &CCustomizeToolBarDlg::remove);
    connect(m_up, &QPushButton::clicked, this, [this] { move(-1); });
    connect(m_down, &QPushButton::clicked, this, [this] { move(1); });
    connect(reset, &QPushButton::clicked, this,
            [this] { apply(CMyToolBar::initialArrangement(m_bar.mode()), 0); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
    connect(m_available, &QListWidget::currentRowChanged, this, &CCustomizeToolBarDlg::updateButtons);
    connect(m_current, &QListWidget::currentRowChanged, this, &CCustomizeToolBarDlg::updateButtons);
    connect(m_available, &QListWidget::itemDoubleClicked, this, &CCustomizeToolBarDlg::add);
    connect(m_current, &QListWidget::itemDoubleClicked, this, &CCustomizeToolBarDlg::remove);
    fillLists(0);
}

void CCustomizeToolBarDlg::fillLists(int current)
{
    const CMyToolBar::Mode mode = m_bar.mode();
    const QList<int> arrangement = m_bar.arrangement();
    m_available->clear();
    m_current->clear();
    addRow(m_available, mode, CMyToolBar::kSeparator);
    for (int index : CMyToolBar::initialArrangement(mode)) {
        if (index != CMyToolBar::kSeparator && !arrangement.contains(index))
            addRow(m_available, mode, index);
    }
    for (int index : arrangement)
        addRow(m_current, mode, index);
    m_available->setCurrentRow(0);
    m_current->setCurrentRow(qMin(current, m_current->count() - 1));
    updateButtons();
}

void CCustomizeToolBarDlg::updateButtons()
{
    const int row = m_current->currentRow();
    m_add->setEnabled(m_available->currentRow() >= 0);
    m_remove->setEnabled(row >= 0);
    m_up->setEnabled(row > 0);
    m_down->setEnabled(row >= 0 && row < m_current->count() - 1);
}

void CCustomizeToolBarDlg::apply(const QList<int>& arrangement, int current)
{
    m_bar.setArrangement(arrangement);
    fillLists(current);
}

void CCustomizeToolBarDlg::add()
{
    const QListWidgetItem* chosen = m_available->currentItem();
    if (!chosen)
        return;
    QList<int> arrangement = m_bar.arrangement();
    const int row = m_current->currentRow() < 0 ? int(arrangement.size()) : m_current->currentRow();
    arrangement.insert(row, chosen->data(kIndexRole).toInt());
    apply(arrangement, row);
}

void CCustomizeToolBarDlg::remove()
{
    const int row = m_current->currentRow();
    if (row < 0)
        return;
    QList<int> arrangement = m_bar.arrangement();
    arrangement.removeAt(row);
    apply(arrangement, row);
}

void CCustomizeToolBarDlg::move(int step)
{
    const int row = m_current->currentRow();
    QList<int> arrangement = m_bar.arrangement();
    if (row < 0 || row + step < 0 || row + step >= arrangement.size())
        return;
    arrangement.move(row, row + step);
    apply(arrangement, row + step);
}
