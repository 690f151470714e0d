#include "security/ccryptwait.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/messages.h"
#include "security/ccryptworker.h"

CCryptWait::CCryptWait(CryptRequest request, QWidget* parent)
    : QDialog(parent), m_request(std::move(request)), m_run(this), m_cancel(new QPushButton(tr("Cancel"), this))
{
    setWindowTitle(QStringLiteral("Zelt Pixoria"));
    setModal(true);
    // No close button on the title bar: the window ends with the run.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Encrypting/decrypting files. Please wait..."), this));
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_cancel, QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    m_cancel->setVisible(m_request.encrypt);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_request.cancel->store(true);
        m_cancel->setEnabled(false);
    });
}

CCryptWait::~CCryptWait()
{
    m_run.stop();
}

void CCryptWait::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_started)
        start();
}

void CCryptWait::start()
{
    m_started = true;
    m_run.start(0, [this, request = m_request](const RunToken& token) {
        CCryptWorker worker(request, [this, token](const CryptNotice& notice) {
            token.deliver([this, notice] {
                m_notices.enqueue(notice);
                showNextNotice();
            });
        });
        worker.run();
        appmsg::post(this, appmsg::kCryptingIsOver);
    });
}

bool CCryptWait::event(QEvent* event)
{
    if (appmsg::as(event, appmsg::kCryptingIsOver)) {
        m_over = true;
        showNextNotice();
        return true;
    }
    return QDialog::event(event);
}

// One message at a time, each on top of this window; the window goes once the run is over and
// nothing is left to tell.
void CCryptWait::showNextNotice()
{
    if (m_box)
        return;
    if (m_notices.isEmpty()) {
        if (m_over)
            accept();
        return;
    }
    const CryptNotice notice = m_notices.dequeue();
    auto* box = new QMessageBox(notice.kind == CryptNotice::Warning ? QMessageBox::Warning : QMessageBox::Critical,
                                notice.caption, notice.text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this] {
        m_box = nullptr;
        showNextNotice();
    });
    m_box = box;
    box->open();
}

void CCryptWait::reject()
{
    if (m_over)
        QDialog::reject();
}

void CCryptWait::closeEvent(QCloseEvent* event)
{
    if (!m_over)
        event->ignore();
    else
        QDialog::closeEvent(event);
}
