#pragma once
// A folder's description file on disk, and the description transfer of copy and move.
// Folder paths end with "/". No widgets: any thread, one object at a time; failures come back
// as false with a message naming the file, for the caller to show.

#include <optional>

#include <QString>

#include "fileops/descriptiontext.h"

class DescriptionFile {
public:
    static QString pathFor(const QString& folder);
    // One look-up with a read of its own; a list of many names keeps a loaded file instead.
    static std::optional<QString> lookUp(const QString& name, const QString& folder);

    // Reads the folder's file, replacing what was held. A missing file reads as empty. False when
    // the file is there but could not be read whole (permissions, an I/O error, not a regular file,
    // bigger than DescriptionText allows): the text is then empty and save() refuses, so that such
    // a file is never written over with less than it holds.
    bool load(const QString& folder);

    // Writes the text as the loaded folder's file: a temporary file in the folder, renamed over the
    // old one only when complete, so a crash or a full disk leaves the old file as it was. The old
    // file's permissions stay; a read-only file of ours is written too (the user asked for the
    // edit), as long as the folder lets us. False when nothing was written.
    bool save();

    DescriptionText& text() { return m_text; }
    const DescriptionText& text() const { return m_text; }
    const QString& folder() const { return m_folder; }
    // The reason of the last failure of load() or save().
    const QString& errorString() const { return m_error; }

private:
    QString m_folder;
    DescriptionText m_text;
    bool m_loaded = false;
    QString m_error;
};

// Carries descriptions along with the files of one copy or move: load the target folder's file
// once, look each item up in its source folder, set it in the target, save the target once.
class DescriptionTransfer {
public:
    // Reads the folder's file as the source text; true and the description when the name has one.
    bool GetDescription(const QString& name, const QString& folder, QString* description);
    // Looks the name up in the source text read by the last GetDescription.
    bool FindSourceDescription(const QString& name, QString* description) const;
    // Reads the target folder's file; true when it was read whole or is missing.
    bool LoadTargetDescriptions(const QString& folder);
    // Sets the name's description in the target text; an empty one removes the entry.
    void SetTargetDescription(const QString& name, const QString& description);
    // Writes the target text as the folder's file (an empty file when nothing was carried) and
    // empties both texts. False, with the message in `error`, when nothing could be written: the
    // folder is not the one loaded, its file could not be read, or the write failed.
    bool SaveTargetDescriptions(const QString& folder, QString* error = nullptr);

private:
    DescriptionText m_source;
    DescriptionFile m_target;
};
