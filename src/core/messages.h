#pragma once
// The messages between the program's windows: one custom event type per registered name,
// registered once per process. A message carries an optional path (no length limit, no manual
// freeing), a kind and an object (the browser view, for "LoadPictureToMemory", whose path names
// the picture the viewer is to read, empty when the current image holds it).

#include <QEvent>
#include <QPointer>
#include <QString>

class QObject;

namespace appmsg {

// Names registered by the windows.
inline constexpr char kSelectFolder[] = "SelectFolder";
inline constexpr char kSelectPicture[] = "SelectPicture";
inline constexpr char kRefreshFolder[] = "Refresh folder";
inline constexpr char kRefreshTree[] = "Refresh tree";
inline constexpr char kRepaintArea[] = "RepaintArea";
inline constexpr char kLoadPictureToMemory[] = "LoadPictureToMemory";
inline constexpr char kLoadViewerBeforeBrowser[] = "LoadViewerBeforBrouser";
inline constexpr char kSwitchOnSlideShow[] = "SwitchOnSliderShow";
inline constexpr char kUpdateStatusBar[] = "UpdateStatusBarMsg";
inline constexpr char kSetBackgroundTexture[] = "Set background texture";
inline constexpr char kPopulationIsOver[] = "Population is over.";
inline constexpr char kCryptingIsOver[] = "Crypting is over";
inline constexpr char kScrollLines[] = "MSH_SCROLL_LINES_MSG";
// To the application object: the switch between browser and viewer, posted so that it runs
// after the handler that asked for it.
inline constexpr char kSwitchFrames[] = "Pixoria switch frames";
// A command (by id) delivered to a window as if chosen from its menu.
inline constexpr char kCommand[] = "Pixoria command";

// Every name above, in one table.
const QList<const char*>& allNames();

// The event type of a name; the same name always gives the same type.
QEvent::Type type(const char* name);

// Kinds of "SelectFolder": who sends it, and so what its path names and who follows.
enum SelectFolderKind : int {
    kFolderFromTree = 1,    // the folder tree shows a folder (the address box's history too)
    kFolderOfFile = 2,      // the path names a file whose folder is shown (the viewer hands back)
    kFolderShownByList = 3, // the file list tells the folder it shows: the tree and address box follow
    kFolderTyped = 4,       // typed into the address box
};

// Requests of the switch message.
enum SwitchRequest : int { kSwitchShow = 0, kSwitchPrint = 101, kSwitchPrintSetup = 102 };

class Message : public QEvent {
public:
    explicit Message(const char* name, QString path = {}, int kind = 0, QObject* object = nullptr);
    const char* name() const { return m_name; }
    QString path;
    int kind = 0;  // the request of a switch, the kind of "SelectFolder", the id of a command
    QPointer<QObject> object;

private:
    const char* m_name;
};

void post(QObject* receiver, const char* name, const QString& path = {}, int kind = 0, QObject* object = nullptr);
bool send(QObject* receiver, const char* name, const QString& path = {}, int kind = 0, QObject* object = nullptr);

// The message when `event` is of the given name, else nullptr.
const Message* as(const QEvent* event, const char* name);

}  // namespace appmsg
