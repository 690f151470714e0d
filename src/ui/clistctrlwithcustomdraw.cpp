#include "ui/clistctrlwithcustomdraw.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>

namespace {

void applyAnswers(QStyleOptionViewItem* option, const QColor& text, const QColor& background,
                  const std::optional<QFont>& font)
{
    if (text.isValid())
        option->palette.setColor(QPalette::Text, text);
    if (background.isValid())
        option->backgroundBrush = background;
    if (font) {
        option->font = *font;
        option->fontMetrics = QFontMetrics(*font);
    }
}

class SavedPainter {
public:
    explicit SavedPainter(QPainter* painter) : m_painter(painter) { m_painter->save(); }
    ~SavedPainter() { m_painter->restore(); }
    SavedPainter(const SavedPainter&) = delete;
    SavedPainter& operator=(const SavedPainter&) = delete;

private:
    QPainter* m_painter;
};

// A hook gets the painter as the view left it, and whatever it does to it is undone afterwards.
template <typename Hook> auto withSavedPainter(QPainter* painter, Hook hook)
{
    const SavedPainter saved(painter);
    return hook();
}

} // namespace

// Nested, so that it may call the protected hooks.
class CListCtrlWithCustomDraw::Delegate : public QStyledItemDelegate {
public:
    Delegate(CListCtrlWithCustomDraw& list, QObject* parent) : QStyledItemDelegate(parent), m_list(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    // What is being drawn: a row of a list or icon view (subItem -1), or one cell of a report
    // view, whose row spans `rowRect`.
    struct Cell {
        int item = -1;
        int subItem = -1;
        QRect rowRect;
        QStyle::State state;
    };
    Cell cellOf(const QStyleOptionViewItem& option, const QModelIndex& index) const;

    CListCtrlWithCustomDraw& m_list;
};

CListCtrlWithCustomDraw::Delegate::Cell CListCtrlWithCustomDraw::Delegate::cellOf(const QStyleOptionViewItem& option,
                                                                                  const QModelIndex& index) const
{
    Cell cell{index.row(), -1, option.rect, option.state};
    if (const auto* report = qobject_cast<const QTableView*>(option.widget)) {
        const QHeaderView* header = report->horizontalHeader();
        cell.subItem = index.column();
        cell.rowRect = QRect(-header->offset(), option.rect.y(), header->length(), option.rect.height());
        if (!m_list.m_fullRowSelect && index.column() != 0)
            cell.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    }
    return cell;
}

void CListCtrlWithCustomDraw::Delegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const Cell cell = cellOf(*option, index);
    option->state = cell.state;
    applyAnswers(option, m_list.textColorForItem(cell.item, cell.state), m_list.bkColorForItem(cell.item, cell.state),
                 m_list.fontForItem(cell.item, cell.state));
    if (cell.subItem >= 0) {
        applyAnswers(option, m_list.textColorForSubItem(cell.item, cell.subItem, cell.state),
                     m_list.bkColorForSubItem(cell.item, cell.subItem, cell.state),
                     m_list.fontForSubItem(cell.item, cell.subItem, cell.state));
    }
}

void CListCtrlWithCustomDraw::Delegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                              const QModelIndex& index) const
{
    const Cell cell = cellOf(option, index);
    const SavedPainter clipped(painter);
    painter->setClipRect(option.rect, Qt::IntersectClip);
    if (cell.state != option.state) {
        // The view laid the selected row's panel under every cell already; a cell shown unselected
        // gets the plain background back.
        const bool alternate = option.features & QStyleOptionViewItem::Alternate;
        painter->fillRect(option.rect, option.palette.brush(alternate ? QPalette::AlternateBase : QPalette::Base));
    }
    if (withSavedPainter(painter, [&] { return m_list.onDrawItem(painter, cell.item, cell.rowRect, cell.state); }))
        return;
    const bool isCell = cell.subItem >= 0;
    const bool cellDrawn = isCell && withSavedPainter(painter, [&] {
                               return m_list.onDrawSubItem(painter, cell.item, cell.subItem, option.rect, cell.state);
                           });
    if (!cellDrawn) {
        QStyledItemDelegate::paint(painter, option, index);
        if (isCell) {
            withSavedPainter(
                painter, [&] { m_list.onPostDrawSubItem(painter, cell.item, cell.subItem, option.rect, cell.state); });
        }
    }
    withSavedPainter(painter, [&] { m_list.onPostDrawItem(painter, cell.item, cell.rowRect, cell.state); });
}

QWidget* CListCtrlWithCustomDraw::Delegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                                         const QModelIndex& index) const
{
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        m_list.beginLabelEdit(line, index.row());
    return editor;
}

CListCtrlWithCustomDraw::CListCtrlWithCustomDraw(QWidget* parent) : QWidget(parent) {}

void CListCtrlWithCustomDraw::drawThrough(QAbstractItemView* view)
{
    // One each: a view closes the editors of its delegate, even those another view opened.
    view->setItemDelegate(new Delegate(*this, view));
}

QColor CListCtrlWithCustomDraw::textColorForItem(int, QStyle::State)
{
    return {};
}

QColor CListCtrlWithCustomDraw::bkColorForItem(int, QStyle::State)
{
    return {};
}

std::optional<QFont> CListCtrlWithCustomDraw::fontForItem(int, QStyle::State)
{
    return std::nullopt;
}

bool CListCtrlWithCustomDraw::onDrawItem(QPainter*, int, const QRect&, QStyle::State)
{
    return false;
}

void CListCtrlWithCustomDraw::onPostDrawItem(QPainter*, int, const QRect&, QStyle::State) {}

QColor CListCtrlWithCustomDraw::textColorForSubItem(int, int, QStyle::State)
{
    return {};
}

QColor CListCtrlWithCustomDraw::bkColorForSubItem(int, int, QStyle::State)
{
    return {};
}

std::optional<QFont> CListCtrlWithCustomDraw::fontForSubItem(int, int, QStyle::State)
{
    return std::nullopt;
}

bool CListCtrlWithCustomDraw::onDrawSubItem(QPainter*, int, int, const QRect&, QStyle::State)
{
    return false;
}

void CListCtrlWithCustomDraw::onPostDrawSubItem(QPainter*, int, int, const QRect&, QStyle::State) {}

void CListCtrlWithCustomDraw::beginLabelEdit(QLineEdit*, int) {}
