#include "app/core/commands.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QStyle>
#include <QWidget>

namespace cmd {

const QList<CommandInfo>& table()
{
    using K = QKeySequence;
    static const QList<CommandInfo> commands = {
        {kBrowser, "&Browser", K::UnknownKey, "Return; Enter; Esc", "view-list-icons", "Browse",
         "Return to the file browser"},
        {kHelpKeyboard, "&Keyboard", K::UnknownKey, "", "input-keyboard", "Keyboard",
         "Show the keys of the program"},
        {kHelpContents, "&Contents", K::HelpContents, "", "help-contents", "Contents",
         "Show the help contents"},
        {kFileOpen, "&Open...", K::UnknownKey, "Ins", "document-open", "Open",
         "Open a picture"},
        {kFilePrintSetup, "P&rint Setup...", K::UnknownKey, "", "document-page-setup", "Print Setup",
         "Change the printer and printing options"},
        {kFilePrint, "&Print...", K::Print, "", "document-print", "Print", "Print the picture"},
        {kAppAbout, "&About", K::UnknownKey, "", "help-about", "About",
         "Show the program's name and version"},
        {kAppExit, "E&xit", K::UnknownKey, "Alt+F4", "application-exit", "Exit",
         "Quit the program"},
    };
    return commands;
}

const CommandInfo* info(int id)
{
    for (const CommandInfo& command : table()) {
        if (command.id == id)
            return &command;
    }
    return nullptr;
}

}  // namespace cmd

namespace {

// The desktop's icon theme first; minimal desktops often carry only the symbolic variants;
// the widget style's own icons last.
QIcon commandIcon(const char* name)
{
    const QString themeName = QString::fromLatin1(name);
    for (const QString& candidate : {themeName, themeName + QStringLiteral("-symbolic")}) {
        const QIcon icon = QIcon::fromTheme(candidate);
        if (!icon.isNull())
            return icon;
    }
    static const QHash<QString, QStyle::StandardPixmap> standard = {
        {QStringLiteral("document-open"), QStyle::SP_DialogOpenButton},
        {QStringLiteral("help-contents"), QStyle::SP_DialogHelpButton},
        {QStringLiteral("help-about"), QStyle::SP_MessageBoxInformation},
        {QStringLiteral("application-exit"), QStyle::SP_DialogCloseButton},
        {QStringLiteral("view-list-icons"), QStyle::SP_FileDialogListView},
    };
    const auto it = standard.constFind(themeName);
    return it == standard.constEnd() ? QIcon() : QApplication::style()->standardIcon(it.value());
}

}  // namespace

void CCommandTarget::on(int id, std::function<void()> handler, std::function<bool()> enabled,
                        std::function<bool()> checked)
{
    m_handlers.insert(id, Handler{std::move(handler), std::move(enabled), std::move(checked)});
}

const CCommandTarget::Handler* CCommandTarget::find(int id) const
{
    for (const CCommandTarget* target = this; target; target = target->m_next) {
        const auto it = target->m_handlers.constFind(id);
        if (it != target->m_handlers.constEnd())
            return &it.value();
    }
    return nullptr;
}

bool CCommandTarget::handles(int id) const
{
    return find(id) != nullptr;
}

bool CCommandTarget::isEnabled(int id) const
{
    const Handler* handler = find(id);
    return handler && (!handler->enabled || handler->enabled());
}

bool CCommandTarget::isCheckable(int id) const
{
    const Handler* handler = find(id);
    return handler && handler->checked;
}

bool CCommandTarget::isChecked(int id) const
{
    const Handler* handler = find(id);
    return handler && handler->checked && handler->checked();
}

bool CCommandTarget::execute(int id)
{
    const Handler* handler = find(id);
    if (!handler || (handler->enabled && !handler->enabled()))
        return false;
    // Copy: the handler may replace the table it lives in.
    const std::function<void()> run = handler->run;
    run();
    return true;
}

CCommandActions::CCommandActions(QWidget* window, CCommandTarget* target)
    : QObject(window), m_window(window), m_target(target)
{
}

QAction* CCommandActions::action(int id)
{
    if (QAction* existing = m_actions.value(id))
        return existing;
    const cmd::CommandInfo* info = cmd::info(id);
    Q_ASSERT_X(info, "CCommandActions::action", "command missing from the command table");
    auto* action = new QAction(QString::fromUtf8(info->menuText), m_window);
    if (info->standardKey != QKeySequence::UnknownKey)
        action->setShortcuts(info->standardKey);
    else if (*info->shortcut)
        action->setShortcuts(QKeySequence::listFromString(QString::fromLatin1(info->shortcut)));
    action->setIcon(commandIcon(info->iconName));
    action->setToolTip(QString::fromUtf8(info->toolTip));
    action->setStatusTip(QString::fromUtf8(info->prompt));
    action->setCheckable(m_target->isCheckable(id));
    connect(action, &QAction::triggered, this, [this, id] { execute(id); });
    m_window->addAction(action);
    m_actions.insert(id, action);
    return action;
}

void CCommandActions::fill(QMenu* menu, std::initializer_list<int> ids)
{
    for (int id : ids) {
        if (id == 0)
            menu->addSeparator();
        else
            menu->addAction(action(id));
    }
    connect(menu, &QMenu::aboutToShow, this, &CCommandActions::update, Qt::UniqueConnection);
}

void CCommandActions::update()
{
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it) {
        it.value()->setEnabled(m_target->isEnabled(it.key()));
        if (it.value()->isCheckable())
            it.value()->setChecked(m_target->isChecked(it.key()));
    }
}

bool CCommandActions::execute(int id)
{
    const bool done = m_target->execute(id);
    update();
    return done;
}
