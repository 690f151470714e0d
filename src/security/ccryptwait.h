#pragma once
// CCryptWait: the modal wait window of an encryption or decryption run, "Encrypting/decrypting
// files. Please wait...". Once shown it runs the request on the executor (CCryptWorker), shows
// the worker's messages one after another as they come (owned by this window), and closes
// itself when the worker has posted "Crypting is over" and the last message was answered. It
// cannot be closed before that: the worker still uses the files of the run. An encryption run
// offers Cancel, which stops it before its next file. UI thread only.

#include <QDialog>
#include <QPointer>
#include <QQueue>

#include "core/workerrun.h"
#include "security/cryptrequest.h"

class QMessageBox;
class QPushButton;

class CCryptWait : public QDialog {
    Q_OBJECT
public:
    CCryptWait(CryptRequest request, QWidget* parent = nullptr);
    ~CCryptWait() override;

    // Escape and the window's close button: ignored while the worker runs.
    void reject() override;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void start();
    void showNextNotice();

    CryptRequest m_request;
    WorkerRun m_run;
    QQueue<CryptNotice> m_notices;
    QPointer<QMessageBox> m_box;
    QPushButton* m_cancel;
    bool m_started = false;
    bool m_over = false;
};
