#include "ui/ctoolmenu.h"

#include <QAction>
#include <QProxyStyle>

namespace {

constexpr int kToolBarIconSize = 32;

// A menu's icons are small icons: these items show the toolbar's images instead.
class ToolIconStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_SmallIconSize)
            return kToolBarIconSize;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

} // namespace

CToolMenu::CToolMenu(QWidget* parent) : QMenu(parent)
{
    auto* style = new ToolIconStyle;
    style->setParent(this);
    setStyle(style);
}

bool CToolMenu::build(const QList<QAction*>& entries)
{
    clear();
    bool itemAdded = false;
    for (QAction* entry : entries) {
        if (entry->isSeparator()) {
            if (itemAdded)
                addSeparator();
            continue;
        }
        QAction* item = addAction(entry->icon(), entry->toolTip());
        item->setEnabled(entry->isEnabled());
        connect(item, &QAction::triggered, entry, &QAction::trigger);
        itemAdded = true;
    }
    return itemAdded;
}
