#include "fileops/copenwithdlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

#include "fileops/cshellfileop.h"
#include "platform/desktopentries.h"

COpenWithDlg::COpenWithDlg(const QString& title, const QString& text, const QString& path, QWidget* parent)
    : QDialog(parent), m_path(path), m_list(new QListWidget(this)),
      m_always(new QCheckBox(tr("Always use this program to open these files"), this))
{
    setWindowTitle(title);
    auto* label = new QLabel(text, this);
    label->setWordWrap(true);
    m_list->setIconSize(QSize(16, 16));
    m_list->setUniformItemSizes(true);
    // A name without a dot has no type to remember a program for.
    m_always->setEnabled(QFileInfo(path).fileName().contains(u'.'));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* other = buttons->addButton(tr("Other..."), QDialogButtonBox::ActionRole);
    connect(other, &QPushButton::clicked, this, &COpenWithDlg::chooseOther);
    connect(buttons, &QDialogButtonBox::accepted, this, &COpenWithDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COpenWithDlg::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &COpenWithDlg::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_list);
    layout->addWidget(m_always);
    layout->addWidget(buttons);
    resize(420, 440);
    fill();
}

void COpenWithDlg::fill()
{
    m_list->setUpdatesEnabled(false);
    for (const platform::DesktopApplication& application : platform::desktopApplications()) {
        const QString name = application.name.trimmed();
        const QString command = application.command.trimmed();
        if (name.isEmpty() || command.isEmpty())
            continue;
        // A program without an icon of its own (or with one the theme lacks) shows a generic one.
        const QIcon icon = QFileInfo(application.icon).isAbsolute()
                               ? QIcon(application.icon)
                               : QIcon::fromTheme(application.icon, QIcon::fromTheme(QStringLiteral("application-x-executable")));
        m_list->addItem(new QListWidgetItem(icon, name));
        m_commands << command;
        m_ids << application.id;
    }
    m_list->setUpdatesEnabled(true);
}

bool COpenWithDlg::start(const QString& commandLine)
{
    QStringList command = CShellFileOp::CommandForVerb(commandLine, m_path);
    const QString program = command.takeFirst();
    return QProcess::startDetached(program, command);
}

void COpenWithDlg::accept()
{
    const int row = m_list->currentRow();
    if (row < 0 || row >= m_commands.size())
        return;
    if (!start(m_commands[row])) {
        QMessageBox::warning(this, windowTitle(), tr("%1 could not be started.").arg(m_list->item(row)->text()));
        return;
    }
    if (wantsRemembering())
        rememberForType(m_ids[row]);
    QDialog::accept();
}

void COpenWithDlg::chooseOther()
{
    const QString program = QFileDialog::getOpenFileName(this, tr("Other..."), QStringLiteral("/usr/bin"),
                                                         tr("Programs (*);;All Files (*)"));
    if (program.isEmpty())
        return;
    if (!QFileInfo(program).isExecutable() || !QProcess::startDetached(program, {m_path})) {
        QMessageBox::warning(this, windowTitle(), tr("%1 could not be started.").arg(QFileInfo(program).fileName()));
        return;
    }
    if (wantsRemembering())
        rememberForType(platform::writeProgramEntry(program));
    QDialog::accept();
}

bool COpenWithDlg::wantsRemembering() const
{
    return m_always->isEnabled() && m_always->isChecked();
}

void COpenWithDlg::rememberForType(const QString& entryId)
{
    // The type is the one of the file's name, as the desktop picks programs for "these files".
    const QMimeType type = QMimeDatabase().mimeTypeForFile(m_path, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault() || entryId.isEmpty() || !platform::setDefaultApplication(type.name(), entryId))
        QMessageBox::warning(this, windowTitle(), tr("The program could not be made the one that opens these files."));
}
