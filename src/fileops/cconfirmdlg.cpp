#include "fileops/cconfirmdlg.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "fileops/cfileinfo.h"
#include "fileops/crenamedlg.h"

namespace {

constexpr int kPreviewSize = 140;

QLabel* plainLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

CConfirmView::CConfirmView(QWidget* parent) : QWidget(parent)
{
    setFixedSize(kPreviewSize, kPreviewSize);
}

bool CConfirmView::setFile(const QString& path)
{
    m_shown = m_picture.Load(path);
    update();
    return m_shown;
}

QRect CConfirmView::placement(QSize picture, QSize box, int frame)
{
    const QSize framed = picture + QSize(2 * frame, 2 * frame);
    const bool fits = framed.width() < box.width() && framed.height() < box.height();
    const QSize shown = fits ? picture : picture.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    return {QPoint((box.width() - shown.width()) / 2, (box.height() - shown.height()) / 2), shown};
}

void CConfirmView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    if (!m_shown)
        return;
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    if (!m_picture.drawScaled(&painter, placement(m_picture.GetSize(), size(), frame)))
        painter.fillRect(rect(), palette().color(QPalette::Base));
}

CConfirmDlg::CConfirmDlg(const QString& targetPath, const QString& sourcePath, QWidget* parent)
    : QDialog(parent), m_targetPath(targetPath), m_newName(new QLineEdit(proposedName(targetPath), this))
{
    setWindowTitle(tr("Confirm replace"));
    auto* sides = new QHBoxLayout;
    sides->addWidget(side(tr("Replace file:"), targetPath));
    sides->addWidget(side(tr("With file:"), sourcePath));

    auto* name = new QHBoxLayout;
    name->addWidget(new QLabel(tr("New file name"), this));
    name->addWidget(m_newName, 1);

    const std::pair<Answer, const char*> answers[] = {{kReplace, QT_TR_NOOP("Replace")},
                                                      {kReplaceAll, QT_TR_NOOP("Replace All")},
                                                      {kSkip, QT_TR_NOOP("Skip")},
                                                      {kSkipAll, QT_TR_NOOP("Skip All")},
                                                      {kRename, QT_TR_NOOP("Rename")},
                                                      {kCancel, QT_TR_NOOP("Cancel")}};
    auto* buttons = new QHBoxLayout;
    for (const auto& [answer, text] : answers) {
        auto* button = new QPushButton(tr(text), this);
        button->setProperty("answer", int(answer));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, answer = answer] {
            if (answer == kRename)
                m_newTarget = QFileInfo(m_targetPath).absolutePath() + u'/' + m_newName->text().trimmed();
            done(answer);
        });
        m_buttons << button;
        buttons->addWidget(button);
    }
    connect(m_newName, &QLineEdit::textChanged, this,
            [this](const QString& text) { button(kRename)->setEnabled(CRenameDlg::isUsableName(text)); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(sides);
    layout->addLayout(name);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QPushButton* CConfirmDlg::button(Answer answer) const
{
    for (QPushButton* button : m_buttons) {
        if (button->property("answer").toInt() == answer)
            return button;
    }
    return nullptr;
}

QWidget* CConfirmDlg::side(const QString& title, const QString& path)
{
    auto* group = new QGroupBox(title, this);
    auto* layout = new QVBoxLayout(group);
    auto* pathLabel = plainLabel(QDir::toNativeSeparators(path), group);
    pathLabel->setWordWrap(true);
    layout->addWidget(pathLabel);
    layout->addWidget(plainLabel(informationLine(path), group));
    auto* preview = new CConfirmView(group);
    const bool picture = preview->setFile(path);
    layout->addWidget(preview, 0, Qt::AlignHCenter);
    CFileInfo reader;
    CFileInfo::Info info;
    const bool sized = picture && reader.GetInfo(path, info);
    layout->addWidget(plainLabel(
        sized ? QStringLiteral("%1x%2x%3 %4").arg(info.width).arg(info.height).arg(info.colours, info.format)
              : QString(),
        group));
    return group;
}

QString CConfirmDlg::informationLine(const QString& path)
{
    const QFileInfo file(path);
    const qint64 size = file.size();
    QString sizeText;
    if (size > 1048575)
        sizeText = QString::asprintf("%4.1fMB", double(size) / 1048576.0);
    else if (size >= 1024)
        sizeText = QString::asprintf("%4.1fKB", double(size) / 1024.0);
    else
        sizeText = QStringLiteral("%1Bytes").arg(size);
    // The time as the user's clock showed it when the file was written.
    const QString date = file.lastModified().toLocalTime().toString(QStringLiteral(" dd.MM.yyyy hh:mm"));
    return sizeText + u',' + date;
}

QString CConfirmDlg::proposedName(const QString& targetPath)
{
    const QFileInfo target(targetPath);
    const QDir folder = target.absoluteDir();
    for (int k = 1;; ++k) {
        const QString name = tr("Copy (%1) of %2").arg(k).arg(target.fileName());
        // A dangling link takes the name as much as a file does.
        const QFileInfo candidate(folder.filePath(name));
        if (!candidate.exists() && !candidate.isSymLink())
            return name;
    }
}
