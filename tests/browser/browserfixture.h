#pragma once
// A browser view in a stand-in frame, on real folders: what the browser's tests share.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "browser/browserfileops.h"
#include "browser/cbrowserview.h"
#include "browser/cfilelistctrl.h"
#include "core/commands.h"
#include "core/messages.h"
#include "recordinghost.h"

inline constexpr int kWait = 20000;

// Stands for the frame: the view's window, which is told to rebuild the folder tree.
class FrameStandIn : public QWidget {
public:
    QStringList treeRefreshes;

protected:
    bool event(QEvent* event) override
    {
        if (const appmsg::Message* message = appmsg::as(event, appmsg::kRefreshTree)) {
            treeRefreshes << message->path;
            return true;
        }
        return QWidget::event(event);
    }
};

inline void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

inline void writePicture(const QString& path)
{
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QVERIFY(picture.save(path));
}

inline QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Fixture {
    FrameStandIn frame;
    RecordingHost host;
    CBrowserView* view = nullptr;
    CFileListCtrl* list = nullptr;

    Fixture()
    {
        view = new CBrowserView(&host, host.options, &frame);
        list = view->fileList();
        frame.resize(800, 500);
        view->resize(800, 500);
        list->createColumns();
        list->sortBy(fileitem::kByName);
        list->setDirection(true);
        frame.show();
    }
};

inline bool showFolder(CFileListCtrl* list, const QString& folder)
{
    QSignalSpy over(list, &CFileListCtrl::populationOver);
    list->SetFolder(folder, true);
    return over.wait(kWait);
}

inline QStringList rowNames(const CFileListCtrl* list)
{
    QStringList names;
    for (int row = 0; row < list->rows().entryCount(); ++row)
        names << list->rows().entryAt(row)->name;
    return names;
}


// Pastes into the shown folder; true once the files are there and the list shows `name`.
inline bool pasteShows(Fixture& fixture, const QString& name)
{
    QSignalSpy over(fixture.view->fileOps(), &BrowserFileOps::operationOver);
    if (!fixture.view->chainHead().execute(cmd::kPaste) || !over.wait(kWait))
        return false;
    // The list follows the disk once its refresh was read.
    return QTest::qWaitFor([&fixture, &name] { return rowNames(fixture.list).contains(name); }, kWait);
}
