#include "fileops/filetransfer.h"

#include <QMetaObject>
#include <QPointer>

namespace {

// One run per object: its results are never stale.
constexpr quint64 kGeneration = 1;

} // namespace

FileTransfer::FileTransfer(std::shared_ptr<FileOpQuestions> questions, QObject* parent)
    : QObject(parent), m_questions(std::move(questions)), m_run(this, executor::Priority::Interactive)
{
}

FileTransfer::~FileTransfer()
{
    m_progress.cancel();
    m_run.stop();
}

void FileTransfer::start(const TransferRequest& request)
{
    if (request.movesOntoItself()) {
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT finished(TransferResult{1, {}, {}, false}); }, Qt::QueuedConnection);
        return;
    }
    m_job = std::make_unique<TransferJob>(request, m_progress);
    runJob();
}

void FileTransfer::runJob()
{
    m_run.add(kGeneration, [this](const RunToken& token) {
        const TransferJob::Stop stop = m_job->run();
        token.deliver([this, stop] { stop == TransferJob::Stop::Question ? ask() : end(); });
    });
}

void FileTransfer::ask()
{
    const QPointer<FileTransfer> alive(this);
    const ReplaceAnswer answer = m_questions->askReplace(m_job->questionTarget(), m_job->questionSource());
    // The question's own event loop may have seen the owner go.
    if (!alive)
        return;
    m_job->answer(answer);
    runJob();
}

void FileTransfer::end()
{
    const TransferResult result = m_job->result();
    const QPointer<FileTransfer> alive(this);
    if (!result.failures.isEmpty())
        m_questions->reportFailures(result.failures);
    if (alive)
        Q_EMIT finished(result);
}
