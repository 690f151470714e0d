#include "fileops/crenamedlg.h"

#include <algorithm>

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CRenameDlg::CRenameDlg(const QString& currentName, QWidget* parent)
    : QDialog(parent), m_current(currentName), m_edit(new QLineEdit(currentName, this))
{
    setWindowTitle(tr("Rename file"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_edit, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_ok->setEnabled(isUsableName(text) && text.trimmed() != m_current);
    });
    m_edit->setMinimumWidth(fontMetrics().averageCharWidth() * 40);
    m_edit->selectAll();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString CRenameDlg::newName() const
{
    return m_edit->text();
}

bool CRenameDlg::hasForbiddenCharacter(const QString& name)
{
    static const QString kForbidden = QStringLiteral("`+\\|'/*?<>:");
    return std::any_of(name.cbegin(), name.cend(), [](QChar c) { return kForbidden.contains(c); });
}

bool CRenameDlg::isUsableName(const QString& name)
{
    const QString trimmed = name.trimmed();
    return !trimmed.isEmpty() && !hasForbiddenCharacter(trimmed);
}
