#include "fileops/cprogressdialog.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "core/runprogress.h"

namespace {

constexpr int kRefreshMs = 200;
constexpr qint64 kTimeLeftAfterMs = 1000;
constexpr int kBarSteps = 100;

QString tr(const char* text)
{
    return QCoreApplication::translate("CProgressDialog", text);
}

// "12.5 MB of 40.0 MB"
QString bytesText(qint64 done, qint64 total)
{
    const QLocale locale;
    return tr("%1 of %2").arg(locale.formattedDataSize(std::min(done, total)), locale.formattedDataSize(total));
}

// "About 5 seconds left", once the run has gone on long enough for a fair guess.
QString timeLeftText(qint64 elapsedMs, qint64 done, qint64 total)
{
    if (elapsedMs < kTimeLeftAfterMs || done <= 0 || done >= total)
        return {};
    const qint64 seconds = std::max<qint64>(1, (elapsedMs * (total - done) / done + 999) / 1000);
    // Without a loaded translation "%n" chooses no plural form: the English forms are spelled out.
    if (seconds < 60)
        return seconds == 1 ? tr("About 1 second left") : tr("About %1 seconds left").arg(seconds);
    const qint64 minutes = (seconds + 59) / 60;
    return minutes == 1 ? tr("About 1 minute left") : tr("About %1 minutes left").arg(minutes);
}

} // namespace

CProgressDialog::CProgressDialog(QObject* run, RunProgress& progress, QWidget* parent)
    : QDialog(parent), m_run(run), m_progress(progress), m_item(new QLabel(this)), m_bar(new QProgressBar(this)),
      m_bytes(new QLabel(this)), m_timeLeft(new QLabel(this))
{
    setWindowTitle(tr("Progress Indicator "));
    setAttribute(Qt::WA_DeleteOnClose);
    m_item->setTextFormat(Qt::PlainText);
    m_item->setMinimumWidth(360);
    m_bar->setRange(0, kBarSteps);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &CProgressDialog::reject);
    auto* layout = new QVBoxLayout(this);
    for (QWidget* widget : {static_cast<QWidget*>(m_item), static_cast<QWidget*>(m_bar), static_cast<QWidget*>(m_bytes),
                            static_cast<QWidget*>(m_timeLeft), static_cast<QWidget*>(buttons)})
        layout->addWidget(widget);
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &CProgressDialog::refresh);
    timer->start(kRefreshMs);
    // Not close(): a close asks reject(), which only cancels and keeps the window.
    connect(run, &QObject::destroyed, this, &QDialog::accept);
    refresh();
}

void CProgressDialog::reject()
{
    // The window stays until the run has cleaned up after the item under way.
    if (m_run)
        m_progress.cancel();
    m_cancelling = true;
    m_item->setText(tr("Cancelling..."));
}

void CProgressDialog::refresh()
{
    if (!m_run)
        return;
    const RunProgress::Snapshot now = m_progress.snapshot();
    if (!now.item.isEmpty() && !m_cancelling)
        m_item->setText(m_item->fontMetrics().elidedText(QDir::toNativeSeparators(now.item), Qt::ElideMiddle,
                                                          m_item->width()));
    m_bar->setValue(now.total > 0 ? int(std::min(now.done, now.total) * kBarSteps / now.total) : 0);
    m_bytes->setText(bytesText(now.done, now.total));
    // The clock starts with the first bytes: a question answered before them (a name collision)
    // is no part of the copying speed.
    if (!m_clock.isValid() && now.done > 0) {
        m_clock.start();
        m_doneAtStart = now.done;
    }
    m_timeLeft->setText(m_clock.isValid() ? timeLeftText(m_clock.elapsed(), now.done - m_doneAtStart,
                                                         now.total - m_doneAtStart)
                                          : QString());
}
