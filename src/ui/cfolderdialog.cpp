#include "ui/cfolderdialog.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>

CFolderDialog::CFolderDialog(const QString& initialFolder, QWidget* parent)
    : QFileDialog(parent), m_prompt(new QLabel(tr("Current Selection"), this)), m_status(new QLabel(this))
{
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::ShowDirsOnly);
    setFileMode(QFileDialog::Directory);
    m_status->setTextFormat(Qt::PlainText);
    // The prompt and the status line go above the dialog's own rows.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        const int row = grid->rowCount();
        grid->addWidget(m_prompt, row, 0, 1, grid->columnCount());
        grid->addWidget(m_status, row + 1, 0, 1, grid->columnCount());
    }
    connect(this, &QFileDialog::currentChanged, this, [this](const QString& path) { setStatus(cutStatus(path)); });
    connect(this, &QFileDialog::directoryEntered, this, [this](const QString& path) { setStatus(cutStatus(path)); });
    if (!initialFolder.isEmpty()) {
        setDirectory(initialFolder);
        setStatus(cutStatus(QDir::cleanPath(initialFolder)));
    }
}

int CFolderDialog::run()
{
    m_chosen.clear();
    if (exec() != QDialog::Accepted)
        return kCancelled;
    const QString path = selectedFiles().value(0);
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return kCancelled;
    m_chosen = QDir::cleanPath(path);
    return kChosen;
}

QString CFolderDialog::statusText() const
{
    return m_status->text();
}

QString CFolderDialog::cutStatus(const QString& text)
{
    return text.size() > kStatusLength ? text.left(kStatusLength) + QStringLiteral("...") : text;
}

void CFolderDialog::setStatus(const QString& text)
{
    m_status->setText(text);
}

QAbstractButton* CFolderDialog::okButton() const
{
    const auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    return buttons ? buttons->buttons().value(0) : nullptr;
}

CDirDialog::CDirDialog(QWidget* parent) : CFolderDialog(QString(), parent)
{
    // After the dialog's own reaction, which enables OK by its own rules.
    connect(this, &QFileDialog::currentChanged, this, &CDirDialog::selectionChanged);
    connect(this, &QFileDialog::directoryEntered, this, &CDirDialog::selectionChanged);
}

bool CDirDialog::DoBrowse()
{
    QString first = m_selectFirst.trimmed();
    while (first.size() > 1 && first.endsWith(u'/'))
        first.chop(1);
    if (!first.isEmpty())
        setDirectory(first);
    setLabelText(QFileDialog::Accept, m_prompt.isEmpty() ? tr("Open") : m_prompt);
    selectionChanged(first.isEmpty() ? directory().absolutePath() : first);
    return run() == kChosen;
}

bool CDirDialog::checkFolder(const QString&, QString*)
{
    return true;
}

void CDirDialog::selectionChanged(const QString& path)
{
    QString status = cutStatus(path);
    m_accepted = checkFolder(QFileInfo(path).isDir() ? QDir::cleanPath(path) : QString(), &status);
    setStatus(m_showStatus ? status : QString());
    if (QAbstractButton* ok = okButton())
        ok->setEnabled(m_accepted);
}

void CDirDialog::accept()
{
    // The dialog enables its button again by its own rules; a refused folder still cannot be chosen.
    if (m_accepted)
        CFolderDialog::accept();
}
