#include "fileops/descriptiontext.h"

#include <algorithm>

#include <QStringDecoder>

namespace {

// Some programs end a description with this character and keep their own data after it.
constexpr QChar kExtensionMarker(0x04);

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isLeadingSpace(QChar c)
{
    return isBlank(c) || c == u'\r' || c == u'\v' || c == u'\f';
}

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

// A name with a quote cannot be quoted; it is written bare, which canStore() allows only when it
// has no blank and does not begin with a quote.
QString entryLine(const QString& name, const QString& description)
{
    return (name.contains(u'"') ? QStringLiteral("%1 %2") : QStringLiteral("\"%1\" %2")).arg(name, description);
}

}  // namespace

bool isDescriptionFileName(const QString& name)
{
    return name.compare(kDescriptionFileName, Qt::CaseInsensitive) == 0;
}

std::optional<DescriptionText> DescriptionText::parse(const QByteArray& bytes)
{
    if (bytes.size() > kMaxBytes || bytes.count('\n') >= kMaxLines)
        return std::nullopt;

    // Stateless: a sequence cut off at the end counts as invalid too. A byte order mark is skipped.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString whole = utf8.decode(bytes);
    if (utf8.hasError())
        whole = QString::fromLatin1(bytes);

    DescriptionText text;
    QStringView rest(whole);
    while (!rest.isEmpty()) {
        const qsizetype end = rest.indexOf(u'\n');
        QStringView line = end < 0 ? rest : rest.first(end);
        rest = end < 0 ? QStringView() : rest.sliced(end + 1);
        if (line.endsWith(u'\r'))
            line.chop(1);
        text.m_lines.append(parseLine(line.toString()));
    }
    return text;
}

DescriptionText::Line DescriptionText::parseLine(QString text)
{
    Line line;
    line.text = std::move(text);
    const QStringView view(line.text);
    const qsizetype size = view.size();
    qsizetype at = 0;
    while (at < size && isLeadingSpace(view[at]))
        ++at;
    if (at == size)
        return line;

    qsizetype nameEnd;
    qsizetype after;
    if (view[at] == u'"') {
        // The closing quote is the first one after the name: the description may hold quotes.
        nameEnd = view.indexOf(u'"', at + 1);
        if (nameEnd <= at + 1)
            return line;
        ++at;
        after = nameEnd + 1;
    } else {
        nameEnd = at;
        while (nameEnd < size && !isBlank(view[nameEnd]))
            ++nameEnd;
        after = nameEnd;
    }
    while (after < size && isBlank(view[after]))
        ++after;
    qsizetype extension = view.indexOf(kExtensionMarker, after);
    if (extension < 0)
        extension = size;
    qsizetype descriptionEnd = extension;
    while (descriptionEnd > after && view[descriptionEnd - 1].isSpace())
        --descriptionEnd;

    line.nameStart = at;
    line.nameLength = nameEnd - at;
    line.descriptionStart = after;
    line.descriptionLength = descriptionEnd - after;
    line.extensionStart = extension;
    return line;
}

QByteArray DescriptionText::serialize() const
{
    QByteArray bytes;
    for (const Line& line : m_lines) {
        bytes += line.text.toUtf8();
        bytes += "\r\n";
    }
    return bytes;
}

std::optional<QString> DescriptionText::find(const QString& name) const
{
    const auto row = index().constFind(name.toCaseFolded());
    if (row == index().cend())
        return std::nullopt;
    const Line& line = m_lines.at(*row);
    if (line.descriptionLength == 0)
        return std::nullopt;
    return line.description().toString();
}

const QHash<QString, qsizetype>& DescriptionText::index() const
{
    if (!m_indexed) {
        m_index.clear();
        m_index.reserve(m_lines.size());
        m_repeated = false;
        for (qsizetype row = 0; row < m_lines.size(); ++row) {
            if (m_lines.at(row).nameLength == 0)
                continue;
            const QString key = m_lines.at(row).name().toString().toCaseFolded();
            if (m_index.contains(key))
                m_repeated = true;
            else
                m_index.insert(key, row);
        }
        m_indexed = true;
    }
    return m_index;
}

bool DescriptionText::canStore(const QString& name)
{
    if (name.isEmpty() || std::any_of(name.cbegin(), name.cend(), isControl))
        return false;
    return !name.contains(u'"') || (!name.startsWith(u'"') && std::none_of(name.cbegin(), name.cend(), isBlank));
}

bool DescriptionText::set(const QString& name, const QString& description)
{
    if (!canStore(name))
        return false;
    // A line break or an extension marker in the text would split or cut the entry when read.
    QString cleaned = description;
    std::replace_if(cleaned.begin(), cleaned.end(), isControl, u' ');
    cleaned = cleaned.trimmed();

    // A copy of many described files sets each name once: the index finds the name's entry, so
    // that a folder of 10,000 of them does not cost 10,000 walks of the text.
    const QString key = name.toCaseFolded();
    const auto row = index().constFind(key);
    if (row == index().cend()) {
        if (cleaned.isEmpty())
            return false;
        m_lines.append(parseLine(entryLine(name, cleaned)));
        m_index.insert(key, m_lines.size() - 1);
        return true;
    }
    if (!cleaned.isEmpty() && !m_repeated)
        return rewrite(m_lines[*row], cleaned);

    bool changed = false;
    bool placed = cleaned.isEmpty();  // an empty description places nothing: every entry goes
    for (auto line = m_lines.begin(); line != m_lines.end();) {
        if (line->nameLength == 0 || line->name().compare(name, Qt::CaseInsensitive) != 0) {
            ++line;
            continue;
        }
        if (placed) {
            // Only one entry per name may stay, or a later one would show once the first is gone.
            line = m_lines.erase(line);
            changed = true;
            continue;
        }
        placed = true;
        changed = rewrite(*line, cleaned) || changed;
        ++line;
    }
    if (changed)
        m_indexed = false;
    return changed;
}

// The entry with `cleaned` as its description; false when it had that already. The stored name
// keeps its letter case and another program's data stays behind the text, so the index holds.
bool DescriptionText::rewrite(Line& line, const QString& cleaned)
{
    if (line.description() == cleaned)
        return false;
    QString text = entryLine(line.name().toString(), cleaned);
    text += QStringView(line.text).sliced(line.extensionStart);
    line = parseLine(std::move(text));
    return true;
}
