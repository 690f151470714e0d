#pragma once
// The contents of a folder's description file ("descript.ion"), one line per file: `"name" text`
// as we write it, or `name text` as some other programs write it. The text keeps every line it
// read, so that a save gives back each line it did not change as it was: blank lines, lines it
// cannot parse, other programs' data behind an entry. QtCore only; any thread, one at a time.

#include <optional>

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

inline constexpr QLatin1StringView kDescriptionFileName("descript.ion");

// True for the name of a description file in any letter case; the file list hides it.
bool isDescriptionFileName(const QString& name);

class DescriptionText {
public:
    // Bigger files are refused rather than read: a hostile file never makes us allocate much.
    static constexpr qsizetype kMaxBytes = qsizetype(16) << 20;
    static constexpr qsizetype kMaxLines = qsizetype(1) << 20;

    // Reads the bytes as UTF-8, or as Latin-1 when they are not valid UTF-8. Nothing when they
    // pass kMaxBytes or kMaxLines.
    static std::optional<DescriptionText> parse(const QByteArray& bytes);

    // UTF-8, every line ended with CR LF.
    QByteArray serialize() const;

    // The description of the entry with exactly this name in any letter case; nothing when there
    // is no entry or its description is empty.
    std::optional<QString> find(const QString& name) const;

    // Sets the description of the name's entry, trimmed, keeping the entry's place; appends an
    // entry when there is none. An empty description removes every entry of the name. True when
    // the text changed; false too when the name cannot be stored (see canStore).
    bool set(const QString& name, const QString& description);

    // False for names that no entry line can hold: empty, with control characters, or with both a
    // double quote and a blank (a quoted name ends at the first quote, an unquoted one at a blank).
    static bool canStore(const QString& name);

private:
    struct Line {
        QString text;  // as read, without its line end
        // Parts of the text; nameLength 0 marks a line that is no entry.
        qsizetype nameStart = 0;
        qsizetype nameLength = 0;
        qsizetype descriptionStart = 0;
        qsizetype descriptionLength = 0;
        qsizetype extensionStart = 0;  // another program's data after the description, to the end

        QStringView name() const { return QStringView(text).mid(nameStart, nameLength); }
        QStringView description() const { return QStringView(text).mid(descriptionStart, descriptionLength); }
    };

    static Line parseLine(QString text);
    // Row of the first entry of every name, by its case-folded form: the header scan looks up each
    // file of a folder, and a folder of 10,000 described files must not cost 10,000 walks of the
    // text. Built on the first look-up after a change.
    const QHash<QString, qsizetype>& index() const;
    static bool rewrite(Line& line, const QString& cleaned);

    QList<Line> m_lines;
    mutable QHash<QString, qsizetype> m_index;
    mutable bool m_indexed = false;
    mutable bool m_repeated = false;  // some name has more than one entry
};
