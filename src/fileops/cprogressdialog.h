#pragma once
// CProgressDialog: the progress window of a long background run (a copy or move, an erase): the
// item under way, the bytes done of the total, the time left once the run has taken more than a
// second, and Cancel. It reads the run's progress a few times a second and cancels it on Cancel or
// Escape. The owner closes it with accept() when the run is over; it closes itself when the run
// object, which owns the progress, is destroyed. Either way it deletes itself. UI thread; it does
// not block the owner window.

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>

class RunProgress;
class QLabel;
class QProgressBar;
class QTimer;

class CProgressDialog : public QDialog {
    Q_OBJECT
public:
    CProgressDialog(QObject* run, RunProgress& progress, QWidget* parent);

    void reject() override;

private:
    void refresh();

    // The progress lives as long as its run.
    QPointer<QObject> m_run;
    RunProgress& m_progress;
    QLabel* m_item;
    QProgressBar* m_bar;
    QLabel* m_bytes;
    QLabel* m_timeLeft;
    QElapsedTimer m_clock;
    qint64 m_doneAtStart = 0;
    bool m_cancelling = false;
};
