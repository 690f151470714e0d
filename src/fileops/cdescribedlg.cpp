#include "fileops/cdescribedlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

namespace {

constexpr int kMaxDescriptionLength = 255;

}  // namespace

CDescribeDlg::CDescribeDlg(const QString& name, const QString& folder, QWidget* parent)
    : QDialog(parent), m_name(name), m_folder(folder), m_edit(new QLineEdit(this))
{
    setWindowTitle(tr("Edit description"));
    // A long name is shortened in the middle, where names differ least, so the dialog stays on screen.
    const int width = fontMetrics().averageCharWidth() * 50;
    auto* fileName = new QLabel(fontMetrics().elidedText(name, Qt::ElideMiddle, width), this);
    fileName->setTextFormat(Qt::PlainText);  // file names may hold "<" and "&"
    fileName->setToolTip(name.toHtmlEscaped());
    m_edit->setMaxLength(kMaxDescriptionLength);
    m_edit->setMinimumWidth(width);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDescribeDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(tr("Description for:"), this), 0, 0);
    layout->addWidget(fileName, 0, 1);
    layout->addWidget(m_edit, 1, 0, 1, 2);
    layout->addWidget(buttons, 2, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    if (!name.isEmpty())
        m_edit->setText(DescriptionFile::lookUp(name, folder).value_or(QString()));
}

void CDescribeDlg::accept()
{
    // Read again: another program may have changed the file since the dialog opened.
    DescriptionFile file;
    QString error;
    if (!DescriptionText::canStore(m_name))
        error = tr("The name %1 cannot be kept in a description file.").arg(m_name);
    else if (!file.load(m_folder) || (file.text().set(m_name, m_edit->text()) && !file.save()))
        error = file.errorString();
    if (!error.isEmpty()) {
        QMessageBox::warning(this, QGuiApplication::applicationDisplayName(), error);
        return;
    }
    QDialog::accept();
}
