#include "ui/clistctrlex.h"

#include <algorithm>
#include <array>

#include <QApplication>
#include <QDropEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QScrollBar>
#include <QStackedLayout>
#include <QTableView>

#include "ui/codheaderctrl.h"
#include "ui/localfiles.h"

namespace {

// Items the hidden list view places in one go.
constexpr int kLayoutBatch = 5000;

// A row is one entry: whichever cell the user clicks or the keys reach, the current index is the
// row's name cell, so that every view shows the same current item.
class RowSelectionModel : public QItemSelectionModel {
public:
    using QItemSelectionModel::QItemSelectionModel;

    void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override
    {
        QItemSelectionModel::setCurrentIndex(index.sibling(index.row(), 0), command);
    }
};

// Qt pages a list view vertically; the list style fills columns top to bottom and scrolls
// sideways, so there a page is the rows of the columns that fit in the view.
class PagingListView : public QListView {
public:
    using QListView::QListView;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override
    {
        const QSize cell = gridSize();
        const int rows = model() ? model()->rowCount(rootIndex()) : 0;
        if ((action != MovePageUp && action != MovePageDown) || flow() != TopToBottom || !isWrapping() ||
            !cell.isValid() || rows == 0)
            return QListView::moveCursor(action, modifiers);
        const int page =
            std::max(1, viewport()->height() / cell.height()) * std::max(1, viewport()->width() / cell.width());
        const int from = std::max(0, currentIndex().row());
        const int to = std::clamp(from + (action == MovePageDown ? page : -page), 0, rows - 1);
        return model()->index(to, modelColumn(), rootIndex());
    }
};

// A table's Home and End stay in the current row; in a list of files they go to the first and the
// last row, as they do in the other styles (with Shift, extending the selection there).
class ReportView : public QTableView {
public:
    using QTableView::QTableView;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override
    {
        const int rows = model() ? model()->rowCount(rootIndex()) : 0;
        if ((action != MoveHome && action != MoveEnd) || rows == 0)
            return QTableView::moveCursor(action, modifiers);
        return model()->index(action == MoveHome ? 0 : rows - 1, 0, rootIndex());
    }
};

void setUpView(QAbstractItemView* view)
{
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    view->setTextElideMode(Qt::ElideRight);
}

} // namespace

CListCtrlEx::CListCtrlEx(QWidget* parent)
    : CListCtrlWithCustomDraw(parent), m_stack(new QStackedLayout(this)), m_listView(new PagingListView(this)),
      m_reportView(new ReportView(this)), m_header(new CODHeaderCtrl(m_reportView))
{
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->addWidget(m_listView);
    m_stack->addWidget(m_reportView);

    setUpView(m_listView);
    m_listView->setUniformItemSizes(true);
    m_listView->setResizeMode(QListView::Adjust);
    m_listView->setBatchSize(kLayoutBatch);

    setUpView(m_reportView);
    m_reportView->setHorizontalHeader(m_header);
    m_reportView->verticalHeader()->hide();
    m_reportView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_reportView->verticalHeader()->setMinimumSectionSize(1);
    m_reportView->setShowGrid(false);
    m_reportView->setWordWrap(false);
    m_reportView->setCornerButtonEnabled(false);
    m_reportView->setTabKeyNavigation(false);
    m_reportView->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    for (QAbstractItemView* view : views()) {
        drawThrough(view);
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        connect(view->horizontalScrollBar(), &QScrollBar::actionTriggered, view,
                [view] { view->setFocus(Qt::OtherFocusReason); });
    }
    applyStyle();
}

std::array<QAbstractItemView*, 2> CListCtrlEx::views() const
{
    return {m_listView, m_reportView};
}

QAbstractItemView* CListCtrlEx::currentView() const
{
    if (m_style == ViewStyle::Report)
        return m_reportView;
    return m_listView;
}

bool CListCtrlEx::isEditingLabel() const
{
    const QWidget* focus = QApplication::focusWidget();
    const QAbstractItemView* view = currentView();
    return focus && focus != view && view->isAncestorOf(focus);
}

void CListCtrlEx::setModel(QAbstractItemModel* model)
{
    if (!model || model == m_model)
        return;
    QItemSelectionModel* previous = m_selection;
    m_model = model;
    m_selection = new RowSelectionModel(model, this);
    for (QAbstractItemView* view : views()) {
        view->setModel(model);
        // The view made a selection model of its own for the new model: the shared one replaces it.
        QItemSelectionModel* own = view->selectionModel();
        view->setSelectionModel(m_selection);
        delete own;
    }
    delete previous;
}

void CListCtrlEx::setViewStyle(ViewStyle style)
{
    if (style == m_style)
        return;
    const bool hadFocus = currentView()->hasFocus();
    m_style = style;
    applyStyle();
    if (hadFocus)
        currentView()->setFocus(Qt::OtherFocusReason);
    if (m_selection && m_selection->currentIndex().isValid())
        currentView()->scrollTo(m_selection->currentIndex());
}

void CListCtrlEx::setIconSizes(QSize normal, QSize small)
{
    m_normalIconSize = normal;
    m_smallIconSize = small;
    applyStyle();
}

int CListCtrlEx::rowHeight() const
{
    return std::max(m_smallIconSize.height(), fontMetrics().height()) + 4;
}

void CListCtrlEx::applyStyle()
{
    const QFontMetrics metrics = fontMetrics();
    // The list view places every item when the rows change, even hidden behind the report style:
    // a million rows in one pass would hold the UI thread for tens of milliseconds, in batches it
    // never does. Shown, it places them all at once, so that a jump to any item finds it placed.
    m_listView->setLayoutMode(m_style == ViewStyle::Report ? QListView::Batched : QListView::SinglePass);
    m_reportView->setIconSize(m_smallIconSize);
    m_reportView->verticalHeader()->setDefaultSectionSize(rowHeight());
    if (m_style == ViewStyle::Report) {
        m_stack->setCurrentWidget(m_reportView);
    } else {
        if (m_style == ViewStyle::Icon) {
            m_listView->setViewMode(QListView::IconMode);
            m_listView->setFlow(QListView::LeftToRight);
            m_listView->setWordWrap(true);
            m_listView->setIconSize(m_normalIconSize);
            // Room for the icon and two lines of its name.
            m_listView->setGridSize(QSize(std::max(m_normalIconSize.width(), 12 * metrics.averageCharWidth()) + 12,
                                          m_normalIconSize.height() + 2 * metrics.lineSpacing() + 12));
        } else {
            m_listView->setViewMode(QListView::ListMode);
            // Small icons fill rows left to right, the list fills columns top to bottom.
            m_listView->setFlow(m_style == ViewStyle::SmallIcon ? QListView::LeftToRight : QListView::TopToBottom);
            m_listView->setWordWrap(false);
            m_listView->setIconSize(m_smallIconSize);
            m_listView->setGridSize(QSize(m_smallIconSize.width() + 8 + 24 * metrics.averageCharWidth(), rowHeight()));
        }
        // The view mode sets movement, wrapping and drops after its own taste: put ours back.
        m_listView->setMovement(QListView::Static);
        m_listView->setWrapping(true);
        m_listView->viewport()->setAcceptDrops(true);
        m_stack->setCurrentWidget(m_listView);
    }
    m_reportView->viewport()->setAcceptDrops(true);
    setFocusProxy(currentView());
}

void CListCtrlEx::setFullRowSelect(bool on)
{
    if (on == fullRowSelect())
        return;
    setFullRowHighlight(on);
    if (!m_selection || !m_selection->hasSelection())
        return;
    // One repaint from the first selected row down to the last one.
    int first = m_model->rowCount();
    int last = -1;
    for (const QItemSelectionRange& range : m_selection->selection()) {
        first = std::min(first, range.top());
        last = std::max(last, range.bottom());
    }
    const int top = m_reportView->rowViewportPosition(first);
    const int bottom = m_reportView->rowViewportPosition(last) + m_reportView->rowHeight(last);
    QWidget* viewport = m_reportView->viewport();
    viewport->update(QRect(0, top, viewport->width(), bottom - top));
}

void CListCtrlEx::setGridLines(bool on)
{
    m_reportView->setShowGrid(on);
}

void CListCtrlEx::setHeaderDragDrop(bool on)
{
    m_header->setSectionsMovable(on);
}

int CListCtrlEx::hitTestEx(const QPoint& point, int* subItem) const
{
    const QAbstractItemView* view = currentView();
    const QPoint pos = view->viewport()->mapFrom(this, point);
    int item = -1;
    int column = -1;
    if (m_model && view->viewport()->rect().contains(pos)) {
        if (m_style == ViewStyle::Report) {
            item = m_reportView->rowAt(pos.y());
            if (item >= 0)
                column = m_reportView->columnAt(pos.x());
        } else {
            item = view->indexAt(pos).row();
            if (item >= 0)
                column = 0;
        }
    }
    if (subItem)
        *subItem = column;
    return item;
}

void CListCtrlEx::editLabel(int item)
{
    if (!m_model || item < 0 || item >= m_model->rowCount())
        return;
    QAbstractItemView* view = currentView();
    const QModelIndex index = m_model->index(item, 0);
    view->setFocus(Qt::OtherFocusReason);
    view->scrollTo(index);
    view->edit(index);
}

bool CListCtrlEx::acceptsDrop(const QMimeData*, int, int)
{
    return true;
}

void CListCtrlEx::OnDropFile(int, const QString&, int) {}

void CListCtrlEx::beginLabelEdit(QLineEdit* editor, int)
{
    editor->setMaxLength(kMaxLabelLength);
}

bool CListCtrlEx::isViewKeyPress(const QObject* watched, const QEvent* event) const
{
    if (event->type() != QEvent::KeyPress || (watched != m_listView && watched != m_reportView))
        return false;
    // The label editor commits or cancels on Return and Escape, then leaves the key to its
    // parents: it must do nothing more there.
    const QWidget* focus = QApplication::focusWidget();
    return !focus || focus == watched || !static_cast<const QWidget*>(watched)->isAncestorOf(focus);
}

bool CListCtrlEx::eventFilter(QObject* watched, QEvent* event)
{
    if (isViewKeyPress(watched, event))
        return handleKey(static_cast<QAbstractItemView*>(watched), static_cast<QKeyEvent*>(event));
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        if (watched == m_listView->viewport() || watched == m_reportView->viewport())
            return handleDrop(static_cast<QWidget*>(watched), static_cast<QDropEvent*>(event));
        break;
    default:
        break;
    }
    return CListCtrlWithCustomDraw::eventFilter(watched, event);
}

bool CListCtrlEx::handleDrop(QWidget* viewport, QDropEvent* event)
{
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty())
        return false;
    int subItem = -1;
    const int item = hitTestEx(viewport->mapTo(this, event->position().toPoint()), &subItem);
    if (!acceptsDrop(event->mimeData(), item, subItem)) {
        event->ignore();
        return true;
    }
    event->acceptProposedAction();
    if (event->type() == QEvent::Drop) {
        for (const QString& path : paths)
            OnDropFile(item, path, subItem);
    }
    return true;
}

bool CListCtrlEx::handleKey(QAbstractItemView* view, QKeyEvent* event)
{
    // The current index stays in column 0, so sideways keys scroll the report instead.
    if (view == m_reportView && event->modifiers() == Qt::NoModifier &&
        (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        m_reportView->horizontalScrollBar()->triggerAction(
            event->key() == Qt::Key_Left ? QAbstractSlider::SliderSingleStepSub : QAbstractSlider::SliderSingleStepAdd);
        return true;
    }
    return false;
}
