#include "fileops/cassociationdlg.h"

#include <algorithm>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QMessageBox>
#include <QVBoxLayout>

#include "fileops/fileassociations.h"

namespace {
constexpr int kColumns = 4;
}

CAssociationDlg::CAssociationDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("File Associations"));
    auto* group = new QGroupBox(tr("Open these picture types with Zelt Pixoria"), this);
    auto* grid = new QGridLayout(group);
    for (const fileassociations::Box& box : fileassociations::boxes()) {
        auto* check = new QCheckBox(QString::fromLatin1(box.text), group);
        check->setChecked(fileassociations::isOwned(box.extensions.constFirst()));
        connect(check, &QCheckBox::clicked, this, &CAssociationDlg::updateChooseAll);
        grid->addWidget(check, int(m_boxes.size()) / kColumns, int(m_boxes.size()) % kColumns);
        m_boxes << check;
    }
    m_chooseAll = new QCheckBox(tr("Choose All"), this);
    connect(m_chooseAll, &QCheckBox::clicked, this, [this](bool on) {
        for (QCheckBox* box : std::as_const(m_boxes))
            box->setChecked(on);
    });
    updateChooseAll();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAssociationDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CAssociationDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(m_chooseAll);
    layout->addWidget(buttons);
}

void CAssociationDlg::updateChooseAll()
{
    m_chooseAll->setChecked(std::all_of(m_boxes.cbegin(), m_boxes.cend(), [](QCheckBox* box) { return box->isChecked(); }));
}

void CAssociationDlg::accept()
{
    QList<bool> on;
    for (QCheckBox* box : std::as_const(m_boxes))
        on << box->isChecked();
    if (!fileassociations::apply(on))
        QMessageBox::warning(this, windowTitle(), tr("The list of default programs could not be written."));
    QDialog::accept();
}
