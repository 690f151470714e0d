#include "ui/cmytoolbar.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QToolButton>

#include "core/commands.h"
#include "settings/csettingsstore.h"
#include "settings/settingskeys.h"
#include "ui/ccustomizetoolbardlg.h"
#include "ui/ctoolmenu.h"

namespace {

constexpr int kButtonIconSize = 32;

using Entry = CMyToolBar::Entry;

constexpr Entry kBrowserLayout[] = {
    {cmd::kOpen, "Open"},
    {0, nullptr},
    {cmd::kDescribe, "Describe"},
    {0, nullptr},
    {cmd::kNewWindow, "New Window"},
    {cmd::kNewFolder, "New Folder"},
    {0, nullptr},
    {cmd::kDelete, "Delete"},
    {cmd::kMoveTo, "MoveTo"},
    {cmd::kCopyTo, "CopyTo"},
    {0, nullptr},
    {cmd::kFilePrint, "Print"},
    {0, nullptr},
    {cmd::kProperties, "Properties"},
    {0, nullptr},
    {cmd::kSaveAs, "Save As"},
    {cmd::kAppExit, "Exit"},
    {0, nullptr},
    {cmd::kCut, "Cut"},
    {cmd::kPaste, "Paste"},
    {cmd::kCopy, "Copy"},
    {cmd::kRename, "Rename"},
    {0, nullptr},
    {cmd::kViewThumbnails, "Thumbnails"},
    {cmd::kViewLargeIcons, "Large Icons"},
    {cmd::kViewSmallIcons, "Small Icons"},
    {cmd::kViewList, "List View"},
    {cmd::kViewDetails, "Details"},
    {0, nullptr},
    {cmd::kRefresh, "Refresh"},
    {0, nullptr},
    {cmd::kOptions, "Options"},
    {cmd::kSlideShow, "Slide Show"},
    {0, nullptr},
    {cmd::kWebPage, "Web Page"},
    {cmd::kSendMail, "Send e-mail"},
    {cmd::kEncryptDecrypt, "Encrypt"},
    {cmd::kEraseForGood, "Erase for good"},
};

constexpr Entry kViewerLayout[] = {
    {cmd::kBrowser, "Browse"},
    {0, nullptr},
    {cmd::kPreviousImage, "Previous"},
    {cmd::kNextImage, "Next"},
    {0, nullptr},
    {cmd::kSlideShow, "Slide Show"},
    {0, nullptr},
    {cmd::kZoomOut, "Zoom Out"},
    {cmd::kActualSize, "Actual Size"},
    {cmd::kZoomIn, "Zoom In"},
    {0, nullptr},
    {cmd::kFullScreen, "Full Screen"},
    {0, nullptr},
    {cmd::kFilePrint, "Print File"},
    {cmd::kViewerDelete, "Delete File"},
    {cmd::kOptions, "Options"},
    {0, nullptr},
    {cmd::kFlipVertical, "Flip"},
    {cmd::kMirror, "Mirror"},
    {cmd::kRotateLeft, "Rotate Left"},
    {cmd::kRotateRight, "Rotate Right"},
    {cmd::kFirstImage, "First image"},
    {cmd::kLastImage, "Last image"},
    {cmd::kRandomImage, "Random image"},
    {cmd::kViewerRefresh, "Refresh"},
    {cmd::kViewerCopyTo, "Copy to"},
    {cmd::kViewerMoveTo, "Move to"},
    {cmd::kCutFile, "Cut"},
    {cmd::kSaveAs, "Save"},
    {cmd::kProperties, "Properties"},
    {cmd::kAppExit, "Exit"},
    {cmd::kHelpContents, "Help"},
};

// The (imageIndex + 1)-th button of the layout, or nullptr past its buttons.
const Entry* layoutButton(CMyToolBar::Mode mode, int imageIndex)
{
    int index = 0;
    for (const Entry& entry : CMyToolBar::initialLayout(mode)) {
        if (entry.id != 0 && index++ == imageIndex)
            return &entry;
    }
    return nullptr;
}

QString stateValue(CMyToolBar::Mode mode)
{
    return mode == CMyToolBar::kBrowser ? settingskeys::kBrowserToolBar : settingskeys::kViewerToolBar;
}

// The stored arrangement, "3,-1,0,..."; empty when there is none or it names a button twice or
// one that the layout does not have (then the initial layout stays).
QList<int> readArrangement(CMyToolBar::Mode mode)
{
    const QByteArray stored = CSettingsStore::GetProfileBinary(settingskeys::kToolBarState, stateValue(mode));
    if (stored.isEmpty())
        return {};
    QList<int> arrangement;
    for (const QByteArray& field : stored.split(',')) {
        bool ok = false;
        const int index = field.toInt(&ok);
        const bool known = index == CMyToolBar::kSeparator || layoutButton(mode, index);
        if (!ok || !known || (index != CMyToolBar::kSeparator && arrangement.contains(index)))
            return {};
        arrangement << index;
    }
    return arrangement;
}

void writeArrangement(CMyToolBar::Mode mode, const QList<int>& arrangement)
{
    QByteArrayList fields;
    for (int index : arrangement)
        fields << QByteArray::number(index);
    CSettingsStore::WriteProfileBinary(settingskeys::kToolBarState, stateValue(mode), fields.join(','));
}

} // namespace

CMyToolBar::CMyToolBar(Mode mode, CCommandActions& actions, QWidget* parent)
    : QToolBar(parent), m_mode(mode), m_actions(actions), m_toolMenu(new CToolMenu(this))
{
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setIconSize(QSize(kButtonIconSize, kButtonIconSize));
    setMovable(false);
    setFloatable(false);
    // The menu opens on the right button's release (below); the frame's own menu of bars stays away.
    setContextMenuPolicy(Qt::PreventContextMenu);
    m_arrangement = readArrangement(mode);
    if (m_arrangement.isEmpty())
        m_arrangement = initialArrangement(mode);
    rebuild();
    // The row's own overflow button opens our menu: the hidden buttons with their tooltips.
    m_chevron = findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"));
    if (m_chevron)
        m_chevron->installEventFilter(this);
}

std::span<const Entry> CMyToolBar::initialLayout(Mode mode)
{
    return mode == kBrowser ? std::span<const Entry>(kBrowserLayout) : std::span<const Entry>(kViewerLayout);
}

QString CMyToolBar::label(Mode mode, int imageIndex)
{
    const Entry* entry = layoutButton(mode, imageIndex);
    return entry ? QString::fromLatin1(entry->label) : QString();
}

int CMyToolBar::command(Mode mode, int imageIndex)
{
    const Entry* entry = layoutButton(mode, imageIndex);
    return entry ? entry->id : 0;
}

QList<int> CMyToolBar::initialArrangement(Mode mode)
{
    QList<int> arrangement;
    int imageIndex = 0;
    for (const Entry& entry : initialLayout(mode))
        arrangement << (entry.id == 0 ? kSeparator : imageIndex++);
    return arrangement;
}

void CMyToolBar::setArrangement(const QList<int>& arrangement)
{
    m_arrangement = arrangement;
    rebuild();
    writeArrangement(m_mode, m_arrangement);
}

void CMyToolBar::rebuild()
{
    for (QAction* action : actions()) {
        removeAction(action);
        // The separators are the bar's own; the commands belong to the frame.
        if (action->isSeparator())
            delete action;
    }
    for (int index : m_arrangement) {
        if (index == kSeparator) {
            addSeparator();
            continue;
        }
        QAction* action = m_actions.action(command(m_mode, index));
        // The icon text shows only on toolbars: menus keep the command's own text.
        action->setIconText(label(m_mode, index));
        addAction(action);
        // A disabled button swallows the right button's release: the bar must see it first.
        widgetForAction(action)->installEventFilter(this);
    }
}

void CMyToolBar::customize()
{
    CCustomizeToolBarDlg dialog(*this, window());
    dialog.exec();
}

QList<QAction*> CMyToolBar::hiddenEntries() const
{
    QList<QAction*> entries;
    for (QAction* action : actions()) {
        const QWidget* button = widgetForAction(action);
        if (action->isSeparator() || (button && button->isHidden()))
            entries << action;
    }
    return entries;
}

void CMyToolBar::showToolMenu()
{
    m_actions.update();
    if (m_toolMenu->build(hiddenEntries()))
        m_toolMenu->popup(m_chevron->mapToGlobal(m_chevron->rect().bottomLeft()));
}

bool CMyToolBar::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick)
        return QToolBar::eventFilter(watched, event);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (watched == m_chevron) {
        if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton)
            showToolMenu();
        return true;
    }
    if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::RightButton) {
        showContextMenu(mouse->globalPosition().toPoint());
        return true;
    }
    return QToolBar::eventFilter(watched, event);
}

void CMyToolBar::mouseReleaseEvent(QMouseEvent* event)
{
    // The empty part of the row; the buttons' releases come through the event filter.
    if (event->button() == Qt::RightButton)
        showContextMenu(event->globalPosition().toPoint());
    else
        QToolBar::mouseReleaseEvent(event);
}

void CMyToolBar::showContextMenu(QPoint globalPos)
{
    QMenu menu(this);
    QAction* background = menu.addAction(tr("Change &background..."));
    QAction* customizeAction = menu.addAction(tr("&Customize..."));
    menu.setDefaultAction(customizeAction);
    menu.addSeparator();
    QAction* hide = menu.addAction(tr("&Hide ToolBar"));
    const QAction* chosen = menu.exec(globalPos);
    if (chosen == background)
        m_actions.execute(cmd::kChangeBackground);
    else if (chosen == customizeAction)
        customize();
    else if (chosen == hide)
        m_actions.execute(m_mode == kBrowser ? cmd::kToolbar : cmd::kViewerToolbar);
}

void CMyToolBar::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Only the empty part right of the last shown button: a double click on a button is two clicks.
    int lastRight = -1;
    for (QAction* action : actions()) {
        const QWidget* button = widgetForAction(action);
        if (!action->isSeparator() && button && !button->isHidden())
            lastRight = button->geometry().right();
    }
    if (event->button() == Qt::LeftButton && event->position().x() > lastRight + 1)
        customize();
}

void CMyToolBar::paintEvent(QPaintEvent*)
{
    // The rebar behind paints the texture or the panel.
}
