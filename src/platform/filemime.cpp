#include "platform/filemime.h"

#include <algorithm>

#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace filemime {

namespace {

const QString kGnomeFormat = QStringLiteral("x-special/gnome-copied-files");
const QString kKdeCutFormat = QStringLiteral("application/x-kde-cutselection");

} // namespace

QString folderOf(const QString& path)
{
    const QString folder = QFileInfo(path).path();
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

QMimeData* makeFileData(const QStringList& paths, DropEffect effect)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    QByteArray gnome = effect == DropEffect::Move ? "cut" : "copy";
    for (const QString& path : paths) {
        urls << QUrl::fromLocalFile(path);
        gnome += '\n' + urls.last().toEncoded();
    }
    data->setUrls(urls);
    if (effect != DropEffect::None) {
        data->setData(kGnomeFormat, gnome);
        data->setData(kKdeCutFormat, effect == DropEffect::Move ? "1" : "0");
    }
    return data;
}

QStringList filesOf(const QMimeData* data)
{
    QStringList paths;
    if (!data)
        return paths;
    QList<QUrl> urls = data->urls();
    if (urls.isEmpty() && data->hasFormat(kGnomeFormat)) {
        const QList<QByteArray> lines = data->data(kGnomeFormat).split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i)
            urls << QUrl::fromEncoded(lines[i].trimmed());
    }
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

DropEffect effectOf(const QMimeData* data)
{
    if (!data)
        return DropEffect::None;
    if (data->hasFormat(kGnomeFormat)) {
        const QByteArray first = data->data(kGnomeFormat).split('\n').first().trimmed();
        if (first == "cut")
            return DropEffect::Move;
        if (first == "copy")
            return DropEffect::Copy;
    }
    if (data->hasFormat(kKdeCutFormat))
        return data->data(kKdeCutFormat).trimmed() == "1" ? DropEffect::Move : DropEffect::Copy;
    return DropEffect::None;
}

std::vector<std::pair<QString, QStringList>> byFolder(const QStringList& paths)
{
    std::vector<std::pair<QString, QStringList>> groups;
    for (const QString& path : paths) {
        const QString folder = folderOf(path);
        auto group = std::find_if(groups.begin(), groups.end(), [&folder](const auto& g) { return g.first == folder; });
        if (group == groups.end())
            group = groups.insert(groups.end(), {folder, {}});
        group->second << QFileInfo(path).fileName();
    }
    return groups;
}

} // namespace filemime
