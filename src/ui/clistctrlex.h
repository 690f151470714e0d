#pragma once
// CListCtrlEx: the list control the file list derives from. It shows one model through one of two
// stacked views: a QListView for the icon, small-icon and list styles and a QTableView with a
// CODHeaderCtrl for the report style. Both views share one selection model, so the selection and
// the current item survive a style switch; a row is one entry, selected as a whole, and the
// current index always sits in column 0. Drawing goes through the hooks of
// CListCtrlWithCustomDraw. Dropped local files reach OnDropFile(). UI thread only.
//
// The model is not owned. Keys the views leave alone
// (Delete, Return, ...) and context-menu events reach this widget, so a derived class handles them
// in keyPressEvent() and contextMenuEvent() with positions in this widget's coordinates.

#include <array>

#include <QAbstractItemModel>
#include <QPointer>
#include <QSize>

#include "ui/clistctrlwithcustomdraw.h"

class QAbstractItemView;
class QDropEvent;
class QItemSelectionModel;
class QListView;
class QMimeData;
class QStackedLayout;
class QTableView;
class CODHeaderCtrl;

class CListCtrlEx : public CListCtrlWithCustomDraw {
    Q_OBJECT
public:
    enum class ViewStyle { Icon, SmallIcon, List, Report };
    static constexpr int kMaxLabelLength = 255;

    explicit CListCtrlEx(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model);
    QAbstractItemModel* model() const { return m_model; }
    QItemSelectionModel* selectionModel() const { return m_selection; }

    // Does nothing when `style` is already shown.
    void setViewStyle(ViewStyle style);
    ViewStyle viewStyle() const { return m_style; }
    // Icon size of the icon style (`normal`) and of the other three (`small`); the icon style's
    // grid and the rows of the others follow from them.
    void setIconSizes(QSize normal, QSize small);

    // Repaints the selected rows at once.
    void setFullRowSelect(bool on);
    void setGridLines(bool on);
    // Lets the user reorder the report view's columns by dragging their headers.
    void setHeaderDragDrop(bool on);

    // The row under `point` (this widget's coordinates), or -1. In the report style `*subItem`
    // is the column under it (-1 beyond the last column); in the others it is 0 on a row. Both are
    // -1 off the rows.
    int hitTestEx(const QPoint& point, int* subItem) const;
    // Opens the name editor of `item` in the current view.
    void editLabel(int item);

    CODHeaderCtrl* header() const { return m_header; }
    QListView* listView() const { return m_listView; }
    QTableView* reportView() const { return m_reportView; }
    QAbstractItemView* currentView() const;
    // Whether the name editor of a row is open and has the keyboard.
    bool isEditingLabel() const;
    // Whether `event` is a key pressed in one of the views for the view itself; a key the open
    // label editor passes on is not.
    bool isViewKeyPress(const QObject* watched, const QEvent* event) const;

protected:
    // Whether local files in `data` may be dropped at (item, subItem); the answer decides the
    // cursor while dragging and whether OnDropFile() is called.
    virtual bool acceptsDrop(const QMimeData* data, int item, int subItem);
    // Called once per dropped local file, in drop order, with the row and column under the drop
    // point (as hitTestEx() tells them). Does nothing by default.
    virtual void OnDropFile(int item, const QString& path, int subItem);

    void beginLabelEdit(QLineEdit* editor, int item) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::array<QAbstractItemView*, 2> views() const;
    void applyStyle();
    int rowHeight() const;
    bool handleDrop(QWidget* viewport, QDropEvent* event);
    bool handleKey(QAbstractItemView* view, QKeyEvent* event);

    QStackedLayout* m_stack = nullptr;
    QListView* m_listView = nullptr;
    QTableView* m_reportView = nullptr;
    CODHeaderCtrl* m_header = nullptr;
    QPointer<QAbstractItemModel> m_model;
    QItemSelectionModel* m_selection = nullptr;
    ViewStyle m_style = ViewStyle::Report;
    QSize m_normalIconSize{32, 32};
    QSize m_smallIconSize{16, 16};
};
