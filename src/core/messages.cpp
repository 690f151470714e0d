#include "core/messages.h"

#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

#include <QCoreApplication>

namespace appmsg {

const QList<const char*>& allNames()
{
    static const QList<const char*> names = {
        kSelectFolder, kSelectPicture, kRefreshFolder, kRefreshTree, kRepaintArea, kLoadPictureToMemory,
        kLoadViewerBeforeBrowser, kSwitchOnSlideShow, kUpdateStatusBar, kSetBackgroundTexture,
        kPopulationIsOver, kCryptingIsOver, kScrollLines, kSwitchFrames,
        kCommand,
    };
    return names;
}

QEvent::Type type(const char* name)
{
    static std::mutex mutex;
    static std::unordered_map<std::string, QEvent::Type> types;
    const std::lock_guard lock(mutex);
    auto [it, inserted] = types.try_emplace(name, QEvent::None);
    if (inserted)
        it->second = QEvent::Type(QEvent::registerEventType());
    return it->second;
}

Message::Message(const char* name, QString path_, int kind_, QObject* object_)
    : QEvent(appmsg::type(name)), path(std::move(path_)), kind(kind_), object(object_), m_name(name)
{
}

void post(QObject* receiver, const char* name, const QString& path, int kind, QObject* object)
{
    if (receiver)
        QCoreApplication::postEvent(receiver, new Message(name, path, kind, object));
}

bool send(QObject* receiver, const char* name, const QString& path, int kind, QObject* object)
{
    if (!receiver)
        return false;
    Message message(name, path, kind, object);
    return QCoreApplication::sendEvent(receiver, &message);
}

const Message* as(const QEvent* event, const char* name)
{
    if (!event || event->type() != type(name))
        return nullptr;
    return static_cast<const Message*>(event);
}

}  // namespace appmsg
