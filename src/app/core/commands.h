#pragma once
// The command table and command routing. Every command has one numeric id; menus and toolbars
// are built from the table, and handlers are looked up by id along a chain of targets
// (view, then frame, then application), so a test can fire any command by its number.

#include <functional>
#include <initializer_list>

#include <QHash>
#include <QKeySequence>
#include <QObject>
#include <QString>

class QAction;
class QMenu;
class QWidget;

namespace cmd {

enum Id : int {
    kBrowser = 32829,
    kHelpKeyboard = 32841,
    kHelpContents = 32842,
    kFileOpen = 57601,
    kFilePrintSetup = 57606,
    kFilePrint = 57607,
    kAppAbout = 57664,
    kAppExit = 57665,
};

struct CommandInfo {
    int id;
    const char* menuText;  // with the & of the mnemonic
    QKeySequence::StandardKey standardKey;
    const char* shortcut;  // portable text ("A; B" for several), used when standardKey is UnknownKey
    const char* iconName;  // freedesktop icon name
    const char* toolTip;
    const char* prompt;    // shown in the status bar while the item is highlighted
};

// The entry of an id, or nullptr for an unknown id.
const CommandInfo* info(int id);
const QList<CommandInfo>& table();

}  // namespace cmd

// One link of the routing chain: handlers by id, and the next target to ask.
class CCommandTarget {
public:
    explicit CCommandTarget(CCommandTarget* next = nullptr) : m_next(next) {}
    void setNext(CCommandTarget* next) { m_next = next; }

    // `enabled` may be empty (always enabled); `checked` may be empty (not checkable).
    void on(int id, std::function<void()> handler, std::function<bool()> enabled = {},
            std::function<bool()> checked = {});

    // True when a target of the chain has a handler for the id.
    bool handles(int id) const;
    bool isEnabled(int id) const;
    bool isCheckable(int id) const;
    bool isChecked(int id) const;
    // Runs the first handler of the chain; false when no target handles the id or it is disabled.
    bool execute(int id);

private:
    struct Handler {
        std::function<void()> run;
        std::function<bool()> enabled;
        std::function<bool()> checked;
    };
    const Handler* find(int id) const;

    QHash<int, Handler> m_handlers;
    CCommandTarget* m_next;
};

// The QActions of one window, made from the command table and wired to a routing chain.
// Their enabled and checked states are refreshed before a menu opens and on update().
class CCommandActions : public QObject {
    Q_OBJECT
public:
    CCommandActions(QWidget* window, CCommandTarget* target);

    QAction* action(int id);
    // Fills a menu with the ids given; 0 stands for a separator.
    void fill(QMenu* menu, std::initializer_list<int> ids);
    void update();
    bool execute(int id);

private:
    QWidget* m_window;
    CCommandTarget* m_target;
    QHash<int, QAction*> m_actions;
};
