#pragma once
// The password dialogs of encryption and decryption. Both drop trailing white space from what
// was typed. UI thread only.

#include <QDialog>
#include <QString>

class QLineEdit;

// "Enter password": the password of a decryption.
class CDecryptDlg : public QDialog {
    Q_OBJECT
public:
    explicit CDecryptDlg(QWidget* parent = nullptr);
    QString password() const;

private:
    QLineEdit* m_password;
};

// "Enter password:": the password of an encryption, typed twice, the folder the encrypted files
// go to (empty: beside their sources; "..." chooses one, starting at `currentFolder`) and, when
// several items are encrypted, the name of the container that packs them (the folder's name to
// begin with). OK checks that both passwords match, that a container has a name and that an
// empty password is meant.
class CEncryptDlg : public QDialog {
    Q_OBJECT
public:
    CEncryptDlg(const QString& currentFolder, bool severalItems, QWidget* parent = nullptr);

    QString password() const;
    // As typed; a folder chosen with "..." ends with "/".
    QString destination() const;
    // The container's file name, ".mpxf" appended.
    QString containerName() const;

    void accept() override;

private:
    void chooseDestination();

    QString m_currentFolder;
    QLineEdit* m_password;
    QLineEdit* m_confirm;
    QLineEdit* m_destination;
    QLineEdit* m_container;
    bool m_severalItems;
};
