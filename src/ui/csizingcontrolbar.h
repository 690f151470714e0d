#pragma once
// A dockable bar that keeps one size for each way it can sit: docked along the top or bottom,
// docked at the left or right, and floating. The user's resizing updates the size of the way it
// sits now; moving it elsewhere applies the size remembered for the new way. Docking, floating,
// shared dock rows and the resize handles are QMainWindow's.
// Every bar of the process is listed from construction to destruction so that the main frame can
// load and save all sizes at once. The frame owns the bars (Qt parent); UI thread only.

#include <QDockWidget>
#include <QSize>

#include "settings/storedstate.h"

class QMainWindow;

class CSizingControlBar : public QDockWidget {
    Q_OBJECT
public:
    // No remembered size is ever smaller than this.
    static constexpr QSize kMinimumSize{33, 32};

    // All three remembered sizes start as `size`; the object name comes from `controlId` so that
    // QMainWindow::saveState can store the bar.
    CSizingControlBar(const QString& title, QMainWindow* frame, const QSize& size, int controlId);
    ~CSizingControlBar() override;

    int controlId() const { return m_controlId; }
    const storedstate::SizingBarSizes& sizes() const { return m_sizes; }

    // Reads or writes the sizes of every bar in its "BarState-SCBar-<control id>" section; loading
    // keeps a missing value as it is and raises each to kMinimumSize. The main frame loads before
    // it restores its dock layout and saves before it saves the layout.
    static void loadAll();
    static void saveAll();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    enum class Placement { Horizontal, Vertical, Floating };
    Placement currentPlacement();
    QSize& remembered(Placement placement);
    void applyRememberedSize();

    QMainWindow* m_frame;
    int m_controlId;
    storedstate::SizingBarSizes m_sizes;
    // The placement the remembered size was last applied for: a resize that arrives for another
    // one is the layout's old geometry, not the user's choice.
    Placement m_placement;
};
