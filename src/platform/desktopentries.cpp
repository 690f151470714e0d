#include "platform/desktopentries.h"

#include <algorithm>
#include <optional>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>

#include "platform/logging.h"

namespace platform {

namespace {

const QString kEntryGroup = QStringLiteral("[Desktop Entry]");
const QString kDefaultsGroup = QStringLiteral("[Default Applications]");
const QString kAddedGroup = QStringLiteral("[Added Associations]");

// A value of a desktop entry with its escapes (\s \n \t \r \\) undone.
QString unescaped(const QString& value)
{
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            text += value[i];
            continue;
        }
        const QChar next = value[++i];
        text += next == u's' ? QChar(u' ') : next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t')
              : next == u'r' ? QChar(u'\r') : next;
    }
    return text;
}

QStringList linesOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n');
}

bool writeLines(const QString& path, const QStringList& lines)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    file.write(lines.join(u'\n').toUtf8());
    if (file.commit())
        return true;
    qCWarning(lcPlatform) << "cannot write" << path << file.errorString();
    return false;
}

// The application described by the file `path`, or nothing when it is not one to show.
std::optional<DesktopApplication> readEntry(const QString& path, const QString& id)
{
    DesktopApplication application{id, {}, {}, {}};
    bool inEntry = false;
    for (const QString& raw : linesOf(path)) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'[')) {
            inEntry = line == kEntryGroup;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inEntry || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = unescaped(line.mid(equals + 1).trimmed());
        if ((key == u"NoDisplay" || key == u"Hidden") && value == u"true")
            return std::nullopt;
        if (key == u"Type" && value != u"Application")
            return std::nullopt;
        if (key == u"Name")
            application.name = value;
        else if (key == u"Exec")
            application.command = value;
        else if (key == u"Icon")
            application.icon = value;
    }
    return application;
}

// `path` as one argument of an Exec= line: in double quotes only when it holds a reserved
// character, since simple readers of the line (xdg-mime among them) take its first word as is.
QString execArgument(const QString& path)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`=%");
    if (std::none_of(path.cbegin(), path.cend(), [](QChar c) { return reserved.contains(c); }))
        return path;
    QString quoted = path;
    for (const QChar c : {u'\\', u'"', u'`', u'$'})
        quoted.replace(c, QStringLiteral("\\") + c);
    quoted.replace(u'%', QStringLiteral("%%"));
    // The value's own escapes apply on top: each backslash of the quoted text is written twice.
    QString argument = u'"' + quoted + u'"';
    return argument.replace(u'\\', QStringLiteral("\\\\"));
}

QString userListPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/mimeapps.list");
}

// The line index of `mimeType` in `group` of `lines` (-1 when absent) and the index after which a
// new line of that group goes (-1 when the group is absent).
std::pair<qsizetype, qsizetype> findLine(const QStringList& lines, const QString& group, const QString& mimeType)
{
    qsizetype groupEnd = -1;
    bool inGroup = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.startsWith(u'[')) {
            inGroup = line == group;
            if (inGroup)
                groupEnd = i;
            continue;
        }
        if (!inGroup)
            continue;
        if (!line.isEmpty())
            groupEnd = i;
        if (line.section(u'=', 0, 0).trimmed() == mimeType)
            return {i, groupEnd};
    }
    return {-1, groupEnd};
}

QStringList entriesOf(const QString& line)
{
    QStringList entries = line.section(u'=', 1).split(u';', Qt::SkipEmptyParts);
    for (QString& entry : entries)
        entry = entry.trimmed();
    return entries;
}

// Puts `entryId` first in the list of `mimeType` in `group`, keeping the others after it.
void putFirst(QStringList& lines, const QString& group, const QString& mimeType, const QString& entryId)
{
    const auto [index, groupEnd] = findLine(lines, group, mimeType);
    QStringList entries = index < 0 ? QStringList() : entriesOf(lines[index]);
    entries.removeAll(entryId);
    entries.prepend(entryId);
    const QString line = mimeType + u'=' + entries.join(u';') + u';';
    if (index >= 0) {
        lines[index] = line;
    } else if (groupEnd >= 0) {
        lines.insert(groupEnd + 1, line);
    } else {
        if (!lines.isEmpty() && !lines.constLast().trimmed().isEmpty())
            lines << QString();
        lines << group << line << QString();
    }
}

// Takes `entryId` out of the list of `mimeType` in `group`; the line goes when nothing is left.
void takeOut(QStringList& lines, const QString& group, const QString& mimeType, const QString& entryId)
{
    const qsizetype index = findLine(lines, group, mimeType).first;
    if (index < 0)
        return;
    QStringList entries = entriesOf(lines[index]);
    if (entries.removeAll(entryId) == 0)
        return;
    if (entries.isEmpty())
        lines.removeAt(index);
    else
        lines[index] = mimeType + u'=' + entries.join(u';') + u';';
}

}  // namespace

QList<DesktopApplication> desktopApplications()
{
    QList<DesktopApplication> applications;
    QStringList seen;
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
        const QDir dir(folder);
        for (const QString& name : dir.entryList({QStringLiteral("*.desktop")}, QDir::Files, QDir::Name)) {
            if (seen.contains(name))
                continue;
            seen << name;
            if (std::optional<DesktopApplication> application = readEntry(dir.filePath(name), name))
                applications << *application;
        }
    }
    std::sort(applications.begin(), applications.end(),
              [](const DesktopApplication& a, const DesktopApplication& b) {
                  return QString::compare(a.id, b.id, Qt::CaseInsensitive) < 0;
              });
    return applications;
}

QString defaultApplication(const QString& mimeType)
{
    const QStringList lines = linesOf(userListPath());
    const qsizetype index = findLine(lines, kDefaultsGroup, mimeType).first;
    const QStringList entries = index < 0 ? QStringList() : entriesOf(lines[index]);
    return entries.isEmpty() ? QString() : entries.constFirst();
}

// A default program must also be associated with the type: the entry the program writes for
// itself declares no types, so that it is offered for exactly the types it was given.
bool setDefaultApplication(const QString& mimeType, const QString& entryId)
{
    QStringList lines = linesOf(userListPath());
    putFirst(lines, kDefaultsGroup, mimeType, entryId);
    putFirst(lines, kAddedGroup, mimeType, entryId);
    return writeLines(userListPath(), lines);
}

bool removeDefaultApplication(const QString& mimeType, const QString& entryId)
{
    QStringList lines = linesOf(userListPath());
    const QStringList before = lines;
    takeOut(lines, kDefaultsGroup, mimeType, entryId);
    takeOut(lines, kAddedGroup, mimeType, entryId);
    return lines == before || writeLines(userListPath(), lines);
}

QString ownDesktopEntryId()
{
    return QStringLiteral("Pixoria.Image.desktop");
}

bool ensureOwnDesktopEntry()
{
    if (!QStandardPaths::locate(QStandardPaths::ApplicationsLocation, ownDesktopEntryId()).isEmpty())
        return true;
    QStringList lines = linesOf(QStringLiteral(":/platform/Pixoria.Image.desktop"));
    // This program file starts it; the types it opens are those the associations give it.
    lines.removeIf([](const QString& line) { return line.startsWith(QLatin1String("MimeType=")); });
    for (QString& line : lines) {
        if (line.startsWith(QLatin1String("Exec=")))
            line = QStringLiteral("Exec=%1 %F").arg(execArgument(QCoreApplication::applicationFilePath()));
    }
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    return writeLines(folder + u'/' + ownDesktopEntryId(), lines);
}

QString writeProgramEntry(const QString& program)
{
    const QFileInfo file(program);
    const QString id = QStringLiteral("userapp-%1.desktop").arg(file.fileName());
    const QStringList lines{QStringLiteral("[Desktop Entry]"), QStringLiteral("Type=Application"),
                            QStringLiteral("Name=") + file.fileName(),
                            QStringLiteral("Exec=%1 %f").arg(execArgument(file.absoluteFilePath())),
                            QStringLiteral("NoDisplay=true")};
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    return writeLines(folder + u'/' + id, lines) ? id : QString();
}

}  // namespace platform
