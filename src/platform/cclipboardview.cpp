#include "platform/cclipboardview.h"

#include <algorithm>

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

CClipboardView::CClipboardView(QObject* parent) : QObject(parent)
{
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &CClipboardView::readClipboard);
    readClipboard();
}

bool CClipboardView::PutFiles(const QStringList& paths, filemime::DropEffect effect, const QImage* bitmap)
{
    if (paths.isEmpty())
        return false;
    QMimeData* data = filemime::makeFileData(paths, effect);
    if (bitmap && !bitmap->isNull())
        data->setImageData(*bitmap);
    QGuiApplication::clipboard()->setMimeData(data);
    // Read back at once: the change may be reported only later.
    readClipboard();
    return true;
}

void CClipboardView::emptyAfterMove(const QStringList& paths)
{
    if (m_files != paths)
        return;
    const bool allGone = std::none_of(paths.begin(), paths.end(), [](const QString& path) {
        const QFileInfo left(path);
        return left.exists() || left.isSymLink();
    });
    if (allGone)
        QGuiApplication::clipboard()->clear();
    readClipboard();
}

void CClipboardView::readClipboard()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    m_files = filemime::filesOf(data);
    m_effect = m_files.isEmpty() ? filemime::DropEffect::None : filemime::effectOf(data);
}
