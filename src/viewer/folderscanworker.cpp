#include "viewer/folderscanworker.h"

#include <algorithm>

#include <QMetaObject>

#include "core/messages.h"
#include "core/textorder.h"
#include "fileops/cfileinfo.h"
#include "platform/directoryreader.h"

namespace {

// The platform's hidden mark, for a name without its directory entry; the system and temporary
// marks of other systems do not exist here.
bool isHiddenName(const QString& name)
{
    return name.startsWith(QLatin1Char('.'));
}

} // namespace

FolderScanWorker::FolderScanWorker(QObject* receiver, QObject* parent)
    : QObject(parent), m_receiver(receiver), m_run(this, executor::Priority::Interactive)
{
}

FolderScanWorker::~FolderScanWorker()
{
    stop();
}

QStringList FolderScanWorker::scanFolder(const QString& folder, const QString& shownName, const std::atomic<bool>* stop)
{
    QStringList names;
    // The viewer shows this file whatever the folder holds, so navigation must find it; the
    // enumeration below leaves such a name out by itself.
    const bool shownFirst =
        !shownName.isEmpty() && (!CFileInfo::IsImageByExtension(shownName) || isHiddenName(shownName));
    if (shownFirst)
        names.append(shownName);
    const platform::DirectoryResult result =
        platform::readDirectory(folder, stop, [&](platform::DirectoryEntry&& entry) {
            if (!entry.isFolder && !entry.isHidden && CFileInfo::IsImageByExtension(entry.name))
                names.append(std::move(entry.name));
        });
    // A folder that fails half-way has no trustworthy order left: keep only the shown file.
    if (result == platform::DirectoryResult::Failed && !shownName.isEmpty())
        return {shownName};
    // In the browser's order of names, so that both lists walk the folder alike.
    std::sort(names.begin() + (shownFirst ? 1 : 0), names.end(),
              [](const QString& a, const QString& b) { return textorder::compareText(a, b) < 0; });
    return names;
}

quint64 FolderScanWorker::start(const QString& folder, const QString& shownName)
{
    const quint64 generation = m_run.generation() + 1;
    m_run.start(generation, [this, folder, shownName](const RunToken& token) {
        QStringList names = scanFolder(folder, shownName, token.stopFlag());
        token.deliver([this, generation = token.generation(), names = std::move(names)] {
            Q_EMIT scanned(generation, names);
            if (m_receiver)
                appmsg::post(m_receiver, appmsg::kUpdateStatusBar);
        });
    });
    return generation;
}

void FolderScanWorker::stop()
{
    m_run.stop();
}
