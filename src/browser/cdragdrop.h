#pragma once
// CDragDrop: dragging files out of a view of the browser and dropping files onto it, from here
// or from another program. It watches the view's viewport: a drag starts when the mouse moves
// far enough from a press on something draggable; a drag over the viewport highlights the folder
// the files would go to and offers a copy with Ctrl held, else a move. On the drop the files are
// copied or moved by the operation engine (after the drop has ended: the engine may ask
// questions, which the drag's source must not wait for), and the view follows. A folder is never
// dropped into itself. What is dragged and where a drop goes are the subclass's: the list's rows
// and folder rows, the tree's folders. UI thread only.

#include <QObject>
#include <QPoint>
#include <QStringList>

class QDropEvent;
class QPixmap;
class QWidget;

class CDragDrop : public QObject {
    Q_OBJECT
public:
    // Watches `viewport`, which must outlive this object; `owner` owns it and parents the
    // progress windows of the drops.
    CDragDrop(QWidget* viewport, QWidget* owner);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

    // The full paths a drag started at `pos` (viewport coordinates) takes; empty: no drag.
    virtual QStringList dragPaths(QPoint pos) = 0;
    // The picture under the cursor while they are dragged.
    virtual QPixmap dragImage(QPoint pos) = 0;
    // The folder (ending with "/") that files dropped at `pos` go to; empty: nowhere.
    virtual QString folderAt(QPoint pos) = 0;
    // Highlights the drop target at `pos`; with `on` false, none.
    virtual void highlight(QPoint pos, bool on) = 0;
    // After a drag from here or a drop here: `folders` (ending with "/") gained or lost files.
    virtual void afterDrop(const QStringList& folders) = 0;

private:
    bool dragOver(QDropEvent* event);
    void drop(QDropEvent* event);
    void startDrag();

    QWidget* m_viewport;
    QWidget* m_owner;
    QPoint m_pressAt;
    QStringList m_pressPaths;
};
