#include "core/toolbarlayout.h"

#include <QAction>
#include <QIcon>
#include <QPixmap>
#include <QToolBar>

#include "core/commands.h"

namespace {

constexpr int kButtonIconSize = 32;

// Stands in for a command without an icon, so that its label lines up with its neighbours'.
QIcon blankIcon()
{
    QPixmap blank(kButtonIconSize, kButtonIconSize);
    blank.fill(Qt::transparent);
    return QIcon(blank);
}

} // namespace

void fillToolBar(QToolBar* bar, CCommandActions& actions, std::span<const ToolButton> layout)
{
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setIconSize(QSize(kButtonIconSize, kButtonIconSize));
    for (const ToolButton& button : layout) {
        if (button.id == 0) {
            bar->addSeparator();
            continue;
        }
        QAction* action = actions.action(button.id);
        action->setIconText(QString::fromLatin1(button.label));
        if (action->icon().isNull())
            action->setIcon(blankIcon());
        bar->addAction(action);
    }
}
