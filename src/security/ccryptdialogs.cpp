#include "security/ccryptdialogs.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/cfolderdialog.h"

namespace {

constexpr int kEditWidth = 260;

QString withoutTrailingSpace(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return text.left(end);
}

QLineEdit* passwordEdit(QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setEchoMode(QLineEdit::Password);
    edit->setMinimumWidth(kEditWidth);
    return edit;
}

// The layout of `dialog`: a form, to be filled, above OK and Cancel.
QFormLayout* addForm(QDialog* dialog)
{
    auto* layout = new QVBoxLayout(dialog);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    return form;
}

} // namespace

CDecryptDlg::CDecryptDlg(QWidget* parent) : QDialog(parent), m_password(passwordEdit(this))
{
    setWindowTitle(tr("Enter password"));
    m_password->setObjectName(QStringLiteral("password"));
    addForm(this)->addRow(tr("Enter password:"), m_password);
    m_password->setFocus();
}

QString CDecryptDlg::password() const
{
    return withoutTrailingSpace(m_password->text());
}

CEncryptDlg::CEncryptDlg(const QString& currentFolder, bool severalItems, QWidget* parent)
    : QDialog(parent), m_currentFolder(currentFolder), m_password(passwordEdit(this)), m_confirm(passwordEdit(this)),
      m_destination(new QLineEdit(this)), m_container(new QLineEdit(this)), m_severalItems(severalItems)
{
    setWindowTitle(tr("Enter password:"));
    m_password->setObjectName(QStringLiteral("password"));
    m_confirm->setObjectName(QStringLiteral("confirm"));
    m_destination->setObjectName(QStringLiteral("destination"));
    m_container->setObjectName(QStringLiteral("container"));
    QFormLayout* form = addForm(this);
    form->addRow(tr("Enter password:"), m_password);
    form->addRow(tr("Confirm password:"), m_confirm);

    auto* destinationRow = new QHBoxLayout;
    destinationRow->addWidget(m_destination, 1);
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    browse->setAutoDefault(false);
    browse->setMaximumWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) * 3);
    connect(browse, &QPushButton::clicked, this, &CEncryptDlg::chooseDestination);
    destinationRow->addWidget(browse);
    form->addRow(tr("Choose destination directory:"), destinationRow);

    // Only several items are packed into one container.
    auto* containerRow = new QHBoxLayout;
    containerRow->addWidget(m_container, 1);
    containerRow->addWidget(new QLabel(QStringLiteral(".mpxf"), this));
    m_container->setEnabled(severalItems);
    // A name to start from: the folder's own.
    if (severalItems)
        m_container->setText(QDir(currentFolder).dirName());
    form->addRow(tr("Enter single file name:"), containerRow);
    m_password->setFocus();
}

QString CEncryptDlg::password() const
{
    return withoutTrailingSpace(m_password->text());
}

QString CEncryptDlg::destination() const
{
    return m_destination->text();
}

QString CEncryptDlg::containerName() const
{
    return m_container->text() + QStringLiteral(".mpxf");
}

void CEncryptDlg::chooseDestination()
{
    CFolderDialog chooser(m_currentFolder, this);
    chooser.setWindowTitle(tr("Choose destination directory"));
    if (chooser.run() != CFolderDialog::kChosen)
        return;
    QString folder = chooser.chosenFolder();
    if (!folder.endsWith(u'/'))
        folder += u'/';
    m_destination->setText(folder);
}

void CEncryptDlg::accept()
{
    if (password() != withoutTrailingSpace(m_confirm->text())) {
        QMessageBox::information(this, QStringLiteral("Zelt Pixoria"),
                                 tr("The password was not correctly confirmed. Please ensure that the password and "
                                    "confirmation match exactly."));
        return;
    }
    // An empty name would make a hidden ".mpxf" file that seems to have swallowed the files.
    if (m_severalItems && m_container->text().trimmed().isEmpty()) {
        QMessageBox::information(this, QStringLiteral("Zelt Pixoria"), tr("Enter a name for the single file."));
        return;
    }
    if (password().isEmpty() &&
        QMessageBox::warning(this, tr("Warning"), tr("You typed in blank password. Would you like to use it?"),
                             QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    QDialog::accept();
}
