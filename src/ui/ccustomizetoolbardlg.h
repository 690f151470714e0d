#pragma once
// CCustomizeToolBarDlg: rearranges a CMyToolBar. The left list offers a separator and the
// buttons of the initial layout that the bar does not show, in the initial order; the right
// list is the bar, left to right. Add puts the chosen button before the chosen place of the bar
// (at the end without one), Remove takes it back, Move Up and Move Down shift it, Reset gives
// the initial layout. Every change goes to the bar at once and is stored. UI thread only.

#include <QDialog>
#include <QList>

class CMyToolBar;
class QListWidget;
class QPushButton;

class CCustomizeToolBarDlg : public QDialog {
    Q_OBJECT
public:
    CCustomizeToolBarDlg(CMyToolBar& bar, QWidget* parent = nullptr);

private:
    // Gives the bar `arrangement` and shows it, with row `current` of the bar's list chosen.
    void apply(const QList<int>& arrangement, int current);
    void fillLists(int current);
    void updateButtons();
    void add();
    void remove();
    void move(int step);

    CMyToolBar& m_bar;
    QListWidget* m_available;
    QListWidget* m_current;
    QPushButton* m_add;
    QPushButton* m_remove;
    QPushButton* m_up;
    QPushButton* m_down;
};
