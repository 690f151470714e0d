#pragma once
// CToolMenu: the menu of a toolbar's chevron. Each item stands for a button the row cannot show:
// the button's icon at toolbar size and its command's tooltip text, greyed when the command is
// disabled; choosing it triggers the command. A separator is kept only after an item. UI thread
// only.

#include <QList>
#include <QMenu>

class CToolMenu : public QMenu {
    Q_OBJECT
public:
    explicit CToolMenu(QWidget* parent = nullptr);

    // Fills the menu anew from `entries` (command actions and separators, in toolbar order);
    // false when no item was added.
    bool build(const QList<QAction*>& entries);
};
