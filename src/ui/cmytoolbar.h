#pragma once
// CMyToolBar: the large toolbar of a frame, a row of command buttons (32 x 32 icons with a label
// under each) and separators. It starts from the initial layout of its mode, restores the
// arrangement the user saved under "ToolBarState", and lets the user rearrange it with our
// customisation dialog (its context menu, or a double click right of the last button). Each
// button is known by its image index, its place in the initial layout counting buttons only;
// the label follows the index, so a moved button keeps its label. The buttons are the frame's
// command actions: they follow the menus' enabled and checked states. What does not fit the row
// is offered by the chevron as a CToolMenu. The bar draws no background of its own: the rebar
// behind it does. UI thread only.

#include <span>

#include <QList>
#include <QPoint>
#include <QToolBar>

class CCommandActions;
class CToolMenu;
class QToolButton;

class CMyToolBar : public QToolBar {
    Q_OBJECT
public:
    enum Mode { kBrowser = 0, kViewer = 1 };
    // One entry of an initial layout: a command and the label under its icon; id 0 is a separator.
    struct Entry {
        int id;
        const char* label;
    };
    static constexpr int kSeparator = -1;

    // Builds the bar of `mode` from the saved arrangement, else the initial layout. `actions`
    // are the frame's and must outlive the bar.
    CMyToolBar(Mode mode, CCommandActions& actions, QWidget* parent = nullptr);

    Mode mode() const { return m_mode; }
    // The initial layout of a mode, left to right.
    static std::span<const Entry> initialLayout(Mode mode);
    // The label of the button with image index `imageIndex`; empty past the initial buttons.
    static QString label(Mode mode, int imageIndex);
    // The command of the button with image index `imageIndex`, 0 past the initial buttons.
    static int command(Mode mode, int imageIndex);
    // The initial arrangement: the image indexes of the initial layout, kSeparator for separators.
    static QList<int> initialArrangement(Mode mode);

    // The bar's entries, left to right: image indexes and kSeparator.
    QList<int> arrangement() const { return m_arrangement; }
    // Rebuilds the bar from `arrangement` (labels by image index) and stores it.
    void setArrangement(const QList<int>& arrangement);
    // Runs the customisation dialog.
    void customize();
    // What the chevron offers, in order: the actions of the buttons the row cannot show, and the
    // separators (CToolMenu keeps those that follow an item).
    QList<QAction*> hiddenEntries() const;
    // The chevron's menu as it was last shown.
    CToolMenu* toolMenu() const { return m_toolMenu; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuild();
    void showToolMenu();
    void showContextMenu(QPoint globalPos);

    Mode m_mode;
    CCommandActions& m_actions;
    QList<int> m_arrangement;
    CToolMenu* m_toolMenu;
    QToolButton* m_chevron = nullptr;
};
