#include "fileops/ccopymovedlg.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

#include "settings/storedstate.h"
#include "ui/cfolderdialog.h"

namespace {

constexpr int kHistoryLength = 15;

}  // namespace

CCopyMoveDlg::CCopyMoveDlg(const QString& title, const QString& sourceFolder, QWidget* parent)
    : QDialog(parent), m_edit(new QLineEdit(QDir::homePath(), this)), m_history(new QListWidget(this)),
      m_browse(new QPushButton(tr("Browse..."), this)), m_remove(new QPushButton(tr("Remove"), this)),
      m_removeAll(new QPushButton(tr("Remove all"), this))
{
    setWindowTitle(title);
    auto* source = new QLabel(QDir::toNativeSeparators(sourceFolder), this);
    source->setTextFormat(Qt::PlainText);
    const QStringList used = storedstate::readDestinationHistory();
    m_history->addItems(used);
    if (!used.isEmpty()) {
        m_edit->setText(used.first());
        m_history->setCurrentRow(0);
    }
    connect(m_history, &QListWidget::currentTextChanged, this, [this](const QString& text) {
        if (!text.isEmpty())
            m_edit->setText(text);
    });
    connect(m_browse, &QPushButton::clicked, this, &CCopyMoveDlg::browse);
    connect(m_remove, &QPushButton::clicked, this, &CCopyMoveDlg::removeSelected);
    connect(m_removeAll, &QPushButton::clicked, this, &CCopyMoveDlg::removeAll);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CCopyMoveDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(tr("Source Directory"), this), 0, 0, 1, 2);
    layout->addWidget(source, 1, 0, 1, 2);
    layout->addWidget(new QLabel(tr("Destination Directory"), this), 2, 0, 1, 2);
    layout->addWidget(m_edit, 3, 0);
    layout->addWidget(m_browse, 3, 1);
    layout->addWidget(m_history, 4, 0, 3, 1);
    layout->addWidget(m_remove, 4, 1);
    layout->addWidget(m_removeAll, 5, 1);
    layout->addWidget(buttons, 7, 0, 1, 2);
    m_edit->setMinimumWidth(fontMetrics().averageCharWidth() * 50);
    updateButtons();
}

void CCopyMoveDlg::browse()
{
    const QString start = m_edit->text().trimmed();
    CFolderDialog chooser(start.isEmpty() ? QDir::homePath() : start, this);
    chooser.setWindowTitle(tr("Choose destination directory"));
    if (chooser.run() == CFolderDialog::kChosen)
        m_edit->setText(chooser.chosenFolder());
}

void CCopyMoveDlg::removeSelected()
{
    delete m_history->takeItem(m_history->currentRow());
    m_edit->clear();
    updateButtons();
}

void CCopyMoveDlg::removeAll()
{
    if (QMessageBox::question(this, tr("Attention"),
                              tr("Do you want to remove all items from\nthe recently used folders list?\t")) !=
        QMessageBox::Yes)
        return;
    m_history->clear();
    updateButtons();
}

void CCopyMoveDlg::updateButtons()
{
    m_remove->setEnabled(m_history->count() > 0);
    m_removeAll->setEnabled(m_history->count() > 0);
}

void CCopyMoveDlg::accept()
{
    QString folder = m_edit->text().trimmed();
    if (folder.isEmpty()) {
        QMessageBox::warning(this, windowTitle(), tr("You must enter a destination folder."));
        return;
    }
    if (folder.startsWith(QLatin1String("~/")) || folder == u'~')
        folder.replace(0, 1, QDir::homePath());
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    const QFileInfo target(folder);
    if (!target.isDir()) {
        if (target.exists()) {
            QMessageBox::warning(this, windowTitle(), tr("%1 is not a folder.").arg(folder));
            return;
        }
        if (QMessageBox::question(this, windowTitle(), tr("This folder does not exist. Create it?")) !=
            QMessageBox::Yes) {
            reject();
            return;
        }
        // Every missing level, from the root down. One that cannot be made is said here rather
        // than discovered by every file of the transfer.
        if (!QDir().mkpath(folder)) {
            QMessageBox::warning(this, windowTitle(), tr("Cannot create the folder %1.").arg(folder));
            return;
        }
    }
    m_destination = folder == u'/' ? folder : folder + u'/';
    QStringList listed;
    for (int row = 0; row < m_history->count() && listed.size() < kHistoryLength; ++row)
        listed << m_history->item(row)->text();
    storedstate::writeDestinationHistory(m_edit->text().trimmed(), listed);
    QDialog::accept();
}
