#pragma once
// CListCtrlWithCustomDraw: the base of the list controls whose rows a derived class colours or
// draws itself. Every view showing the list's model gets a delegate of its own through
// drawThrough(), which asks the hooks below while it paints:
//   - for each item (a row): text colour, background colour, font, then whether the derived class
//     draws the item itself; after the default drawing, the item post-paint hook;
//   - in a report view, for each sub-item (row, column) as well: the same questions for the cell,
//     whose answers win over the item's; after the cell, the sub-item post-paint hook.
// A report view paints cell by cell, so there the item hooks get the whole row's rectangle with
// the painter clipped to the cell being painted: drawing the row in full gives the right picture,
// the hooks are simply called once per visible cell. An item the derived class drew itself gets no
// sub-item questions and no post-paint. The default hooks answer "no" (invalid colour, no font,
// false) and change nothing. UI thread only.

#include <optional>

#include <QColor>
#include <QFont>
#include <QStyle>
#include <QWidget>

class QAbstractItemView;
class QLineEdit;
class QPainter;

class CListCtrlWithCustomDraw : public QWidget {
    Q_OBJECT
public:
    explicit CListCtrlWithCustomDraw(QWidget* parent = nullptr);

    // Off: in a report view only the name column (column 0) shows the selection highlight.
    bool fullRowSelect() const { return m_fullRowSelect; }

protected:
    // Gives `view` a delegate (owned by the view) that draws through the hooks below.
    void drawThrough(QAbstractItemView* view);
    // Only changes what the delegate draws; repainting is the caller's business.
    void setFullRowHighlight(bool on) { m_fullRowSelect = on; }

    // `state` is the state the row or cell is drawn in (State_Selected, State_HasFocus, ...).
    virtual QColor textColorForItem(int item, QStyle::State state);
    virtual QColor bkColorForItem(int item, QStyle::State state);
    virtual std::optional<QFont> fontForItem(int item, QStyle::State state);
    // Returns true when it drew the item: the default drawing is then skipped.
    virtual bool onDrawItem(QPainter* painter, int item, const QRect& rect, QStyle::State state);
    virtual void onPostDrawItem(QPainter* painter, int item, const QRect& rect, QStyle::State state);

    virtual QColor textColorForSubItem(int item, int subItem, QStyle::State state);
    virtual QColor bkColorForSubItem(int item, int subItem, QStyle::State state);
    virtual std::optional<QFont> fontForSubItem(int item, int subItem, QStyle::State state);
    virtual bool onDrawSubItem(QPainter* painter, int item, int subItem, const QRect& rect, QStyle::State state);
    virtual void onPostDrawSubItem(QPainter* painter, int item, int subItem, const QRect& rect, QStyle::State state);

    // A label editor was just made for `item`; the derived class may limit or prefill it.
    virtual void beginLabelEdit(QLineEdit* editor, int item);

private:
    class Delegate;

    bool m_fullRowSelect = false;
};
