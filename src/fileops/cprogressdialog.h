#pragma once
// CProgressDialog: the progress window of a copy or move: the item under way, the bytes done of
// the total, the time left once the run has taken more than a second, and Cancel. It reads the
// transfer's progress a few times a second, cancels it on Cancel or Escape, and closes itself
// (deleting itself) when the transfer finishes. UI thread; it does not block the owner window.

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>

class FileTransfer;
class QLabel;
class QProgressBar;
class QTimer;

class CProgressDialog : public QDialog {
    Q_OBJECT
public:
    CProgressDialog(FileTransfer* transfer, QWidget* parent);

    void reject() override;

private:
    void refresh();

    QPointer<FileTransfer> m_transfer;
    QLabel* m_item;
    QProgressBar* m_bar;
    QLabel* m_bytes;
    QLabel* m_timeLeft;
    QElapsedTimer m_clock;
    qint64 m_doneAtStart = 0;
    bool m_cancelling = false;
};
