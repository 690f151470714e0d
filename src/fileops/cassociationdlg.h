#pragma once
// CAssociationDlg ("File Associations"): one box per picture type the program can own, and
// "Choose All". The boxes open showing which types are ours; OK owns the checked ones and gives
// back the unchecked ones that were ours; Cancel changes nothing.

#include <QDialog>
#include <QList>

class QCheckBox;

class CAssociationDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAssociationDlg(QWidget* parent = nullptr);

    void accept() override;

private:
    void updateChooseAll();

    QList<QCheckBox*> m_boxes;
    QCheckBox* m_chooseAll;
};
