#include "fileops/cfileinfodlg.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The path line stays within this many characters; a longer one keeps its root and the end of
// the name.
constexpr qsizetype kPathLine = 50;
constexpr auto kEllipsis = QLatin1String(".../");

// Characters of the folder kept in a shortened line: a network path keeps "//" and the start of
// the server's name, a drive keeps "X:/", anything else its root "/".
qsizetype rootLength(const QString& folder)
{
    if (folder.startsWith(QLatin1String("//")))
        return 5;
    if (folder.size() >= 3 && folder.at(0).isLetter() && folder.at(1) == u':' && folder.at(2) == u'/')
        return 3;
    return 1;
}

QString pathLine(const QString& folder, const QString& name)
{
    if (folder.size() + name.size() <= kPathLine)
        return QDir::toNativeSeparators(folder + name);
    const qsizetype root = rootLength(folder);
    return QDir::toNativeSeparators(folder.left(root) + kEllipsis + name.right(kPathLine - root - kEllipsis.size()));
}

// Month first, month and day with two digits.
QString dateText(const QDateTime& time)
{
    if (!time.isValid())
        return {};
    const QDate date = time.toLocalTime().date();
    return QStringLiteral("%1.%2.%3")
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(date.year());
}

// Bytes up to 1024, then kilobytes, and above 1048576 megabytes in `megabytes` (a printf format).
QString byteText(quint64 bytes, const char* megabytes)
{
    if (bytes > 1048576)
        return QString::asprintf(megabytes, double(bytes) / 1048576.0);
    if (bytes > 1024)
        return QString::asprintf("%4.1f KB", double(bytes) / 1024.0);
    return QString::number(bytes) + QLatin1String(" Bytes");
}

QString secondsText(quint64 seconds)
{
    return QString::number(seconds) + QLatin1String(" sec");
}

// One line of the dialog: its block, its caption and the member that holds its value.
struct Line {
    int block;
    const char* caption;
    QString FilePropertiesText::*value;
    bool pixels; // the value is followed by "px"
};

const char* const kBlockTitles[] = {"File", "Web info (loading speed)", "Image"};

const Line kLines[] = {
    {0, "Created", &FilePropertiesText::created, false},
    {0, "Modified", &FilePropertiesText::modified, false},
    {0, "File size (Disk Space)", &FilePropertiesText::fileSize, false},
    {1, "28,8 Kb", &FilePropertiesText::web28k, false},
    {1, "56 Kb (Standart Modem)", &FilePropertiesText::web56k, false},
    {1, "128 Kb (ISDN)", &FilePropertiesText::web128k, false},
    {2, "Frames", &FilePropertiesText::frames, false},
    {2, "Format", &FilePropertiesText::format, false},
    {2, "Colors", &FilePropertiesText::colours, false},
    {2, "Width", &FilePropertiesText::width, true},
    {2, "Height", &FilePropertiesText::height, true},
    {2, "Uncompressed size", &FilePropertiesText::uncompressedSize, false},
    {2, "Compression ratio", &FilePropertiesText::compressionRatio, false},
};

} // namespace

FilePropertiesText FilePropertiesText::describe(const QString& folder, const QString& name, qint64 size,
                                                const QDateTime& created, const QDateTime& modified,
                                                const CFileInfo::Info& info)
{
    const quint64 bytes = quint64(std::max<qint64>(size, 0));
    // A 28.8 kbit/s modem moves about 3600 bytes a second; the faster lines take a half and a quarter.
    const quint64 seconds = bytes / 3600;
    // 64 bits: a 32-bit product of width, height and depth overflows from about 134 megapixels
    // at 32 bits per pixel.
    const quint64 uncompressed = quint64(std::max(info.width, 0)) * quint64(std::max(info.height, 0)) *
                                 quint64(std::max(info.bitsPerPixel, 0)) / 8;

    FilePropertiesText text;
    text.path = pathLine(folder, name);
    text.created = dateText(created);
    text.modified = dateText(modified);
    text.fileSize = byteText(bytes, "%5.2f MB");
    text.web28k = secondsText(seconds + 1);
    text.web56k = secondsText(seconds / 2 + 1);
    text.web128k = secondsText(seconds / 4 + 1);
    text.frames = QStringLiteral("1");
    text.format = info.format;
    text.colours = info.colours;
    text.width = QString::number(info.width);
    text.height = QString::number(info.height);
    text.uncompressedSize = byteText(uncompressed, "%5.1f MB");
    // An empty file is no picture and never gets here; the guard keeps a caller's zero harmless.
    text.compressionRatio = QString::asprintf("%5.1f", bytes > 0 ? double(uncompressed) / double(bytes) : 0.0);
    return text;
}

CFileInfoDlg::CFileInfoDlg(const QString& name, const QString& folder, QWidget* parent)
    : QDialog(parent), m_name(name), m_folder(folder)
{
    setWindowTitle(QStringLiteral("File Properties"));
    auto* page = new QVBoxLayout(this);
    page->setSizeConstraint(QLayout::SetFixedSize);

    m_path = new QLabel(this);
    m_path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    page->addWidget(m_path);

    // The captions of every block share one column width so that the values line up down the sheet.
    QGridLayout* grids[std::size(kBlockTitles)] = {};
    for (std::size_t block = 0; block < std::size(kBlockTitles); ++block) {
        auto* box = new QGroupBox(QString::fromLatin1(kBlockTitles[block]), this);
        grids[block] = new QGridLayout(box);
        grids[block]->setColumnStretch(1, 1);
        grids[block]->setHorizontalSpacing(16);
        page->addWidget(box);
    }
    int rows[std::size(kBlockTitles)] = {};
    int captionWidth = 0;
    for (const Line& line : kLines) {
        QGridLayout* grid = grids[line.block];
        QWidget* box = grid->parentWidget();
        auto* caption = new QLabel(QString::fromLatin1(line.caption), box);
        auto* value = new QLabel(box);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        const int row = rows[line.block]++;
        grid->addWidget(caption, row, 0);
        grid->addWidget(value, row, 1);
        captionWidth = std::max(captionWidth, caption->sizeHint().width());
        m_values.append(value);
    }
    for (QGridLayout* grid : grids)
        grid->setColumnMinimumWidth(0, captionWidth);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    page->addWidget(buttons);
}

bool CFileInfoDlg::load()
{
    const QString path = m_folder + m_name;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // A handle of our own: the dialog must not disturb the pictures the windows hold.
    CFileInfo reader;
    CFileInfo::Info info;
    if (!reader.GetInfo(path, info))
        return false;
    const QFileInfo entry(path);
    const QDateTime modified = entry.lastModified();
    // Many Linux file systems (or their drivers) keep no creation time; the modification time
    // then stands in for it.
    const QDateTime born = entry.birthTime();
    const FilePropertiesText text =
        FilePropertiesText::describe(m_folder, m_name, file.size(), born.isValid() ? born : modified, modified, info);

    m_path->setText(text.path);
    // The texts keep their fixed-width number formats; in a proportional font the padding would
    // only push the numbers out of line.
    for (qsizetype i = 0; i < m_values.size(); ++i) {
        const Line& line = kLines[i];
        const QString value = (text.*line.value).trimmed();
        m_values[i]->setText(line.pixels ? value + QLatin1String(" px") : value);
    }
    return true;
}
