#pragma once
// The About box: the product name with its version, a link to the program's web page and an OK
// button.

#include <QDialog>

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
