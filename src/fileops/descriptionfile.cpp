#include "fileops/descriptionfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "fileops/logging.h"

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("DescriptionFile", text);
}

QString readError(const QString& path, const QString& reason)
{
    qCWarning(lcFileOps) << "cannot read" << path << reason;
    return tr("Cannot read %1:\n%2").arg(QDir::toNativeSeparators(path), reason);
}

QString writeError(const QString& path, const QString& reason)
{
    qCWarning(lcFileOps) << "cannot write" << path << reason;
    return tr("Cannot write %1:\n%2").arg(QDir::toNativeSeparators(path), reason);
}

// The permission bits of the file itself. QFileInfo adds the *User flags for what the current
// user may do, and setPermissions() would turn them into owner bits (root "may write" a 0444 file).
QFileDevice::Permissions modeOf(const QFileInfo& info)
{
    return info.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
}

// A write may stop short without an error when the disk fills up; writing the rest then fails
// and sets the reason.
bool writeAll(QSaveFile& file, const QByteArray& bytes)
{
    for (qint64 written = 0; written < bytes.size();) {
        const qint64 count = file.write(bytes.constData() + written, bytes.size() - written);
        if (count <= 0)
            return false;
        written += count;
    }
    return true;
}

}  // namespace

QString DescriptionFile::pathFor(const QString& folder)
{
    return folder.endsWith(u'/') ? folder + kDescriptionFileName : folder + u'/' + kDescriptionFileName;
}

std::optional<QString> DescriptionFile::lookUp(const QString& name, const QString& folder)
{
    DescriptionFile file;
    file.load(folder);
    return file.text().find(name);
}

bool DescriptionFile::load(const QString& folder)
{
    m_folder = folder;
    m_text = DescriptionText();
    m_loaded = false;
    m_error.clear();

    const QString path = pathFor(folder);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        m_loaded = true;
        return true;
    }
    // Opening a pipe would wait for a writer, and a device could be read for ever.
    if (!info.isFile()) {
        m_error = readError(path, tr("It is not a regular file."));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = readError(path, file.errorString());
        return false;
    }
    if (file.size() > DescriptionText::kMaxBytes) {
        m_error = readError(path, tr("The file is too large."));
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_error = readError(path, file.errorString());
        return false;
    }
    std::optional<DescriptionText> text = DescriptionText::parse(bytes);
    if (!text) {
        m_error = readError(path, tr("The file is too large."));
        return false;
    }
    m_text = std::move(*text);
    m_loaded = true;
    return true;
}

bool DescriptionFile::save()
{
    const QString path = pathFor(m_folder);
    if (!m_loaded) {
        if (m_error.isEmpty())
            m_error = writeError(path, tr("The file was not read first."));
        return false;
    }
    m_error.clear();

    const QFileInfo old(path);
    const bool exists = old.exists();
    const QFileDevice::Permissions mode = modeOf(old);
    // QSaveFile refuses a file we may not write; the user asked for the edit, so the old file is
    // made writable for the moment the temporary file is opened, and its mode is put back.
    const bool locked = exists && !old.isWritable();
    if (locked)
        QFile::setPermissions(path, mode | QFileDevice::WriteOwner);
    QSaveFile file(path);
    const bool opened = file.open(QIODevice::WriteOnly);
    if (locked)
        QFile::setPermissions(path, mode);
    if (!opened) {
        m_error = writeError(path, file.errorString());
        return false;
    }
    if (exists)
        file.setPermissions(mode);
    if (!writeAll(file, m_text.serialize())) {
        m_error = writeError(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        m_error = writeError(path, file.errorString());
        return false;
    }
    return true;
}

bool DescriptionTransfer::GetDescription(const QString& name, const QString& folder, QString* description)
{
    DescriptionFile file;
    file.load(folder);
    m_source = std::move(file.text());
    return FindSourceDescription(name, description);
}

bool DescriptionTransfer::FindSourceDescription(const QString& name, QString* description) const
{
    const std::optional<QString> found = m_source.find(name);
    if (found && description)
        *description = *found;
    return found.has_value();
}

bool DescriptionTransfer::LoadTargetDescriptions(const QString& folder)
{
    return m_target.load(folder);
}

void DescriptionTransfer::SetTargetDescription(const QString& name, const QString& description)
{
    m_target.text().set(name, description);
}

bool DescriptionTransfer::SaveTargetDescriptions(const QString& folder, QString* error)
{
    bool saved = false;
    QString reason;
    const QString path = DescriptionFile::pathFor(folder);
    if (m_target.folder().isEmpty() || path != DescriptionFile::pathFor(m_target.folder())) {
        reason = writeError(path, tr("The file was not read first."));
    } else {
        saved = m_target.save();
        reason = m_target.errorString();
    }
    m_source = DescriptionText();
    m_target = DescriptionFile();
    if (!saved && error)
        *error = reason;
    return saved;
}
