#include "ui/chyperlink.h"

#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>

#include "platform/desktopservices.h"

namespace {

constexpr int kHoverInterval = 100; // ms between the checks whether the mouse has left

struct FailureText {
    int code;
    const char* text;
};

// The texts of the codes opening can fail with; the platform layer maps its failures onto them.
constexpr FailureText kFailureTexts[] = {
    {0, "The operating system is out\nof memory or resources."},
    {2, "The specified file was not found."},
    {3, "The specified path was not found."},
    {5, "The operating system denied\naccess to the specified file."},
    {8, "There was not enough memory to complete the operation."},
    {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
    {26, "A sharing violation occurred. "},
    {27, "The filename association is\nincomplete or invalid."},
    {28, "The DDE transaction could not\nbe completed because the request timed out."},
    {29, "The DDE transaction failed."},
    {30, "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed."},
    {31, "There is no application associated\nwith the given filename extension."},
    {32, "The specified dynamic-link library was not found."},
};

void report(QWidget* parent, int code)
{
    QApplication::beep();
    QMessageBox::warning(parent, QStringLiteral("Zelt Pixoria"), CHyperLink::failureText(code));
}

} // namespace

CHyperLink::CHyperLink(const QString& text, const QString& address, QWidget* parent) : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    SetURL(address.isEmpty() ? text : address);
    applyLook();
}

void CHyperLink::SetURL(const QString& address)
{
    m_address = address;
    setToolTip(address);
    fitToText();
}

void CHyperLink::SetUnderline(Underline mode)
{
    m_underline = mode;
    applyLook();
}

QColor CHyperLink::textColour() const
{
    if (m_hovering)
        return QColor(kHoverColour);
    return QColor(m_visited ? kVisitedColour : kLinkColour);
}

void CHyperLink::applyLook()
{
    QFont look = font();
    look.setUnderline(m_underline == Underline::Always || (m_underline == Underline::WhileHovering && m_hovering));
    setFont(look);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, textColour());
    setPalette(colours);
}

// Resized to its text, the label keeps its right edge or its centre where its alignment puts the
// text, so that the text stays where it was.
void CHyperLink::fitToText()
{
    const QSize wanted = sizeHint();
    const QRect old = geometry();
    QRect fitted(old.topLeft(), wanted);
    if (alignment() & Qt::AlignRight)
        fitted.moveRight(old.right());
    else if (alignment() & Qt::AlignHCenter)
        fitted.moveLeft(old.center().x() - wanted.width() / 2);
    if (alignment() & Qt::AlignVCenter)
        fitted.moveTop(old.center().y() - wanted.height() / 2);
    setFixedSize(wanted);
    setGeometry(fitted);
}

void CHyperLink::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    m_hovering = true;
    applyLook();
    m_hoverTimer.start(kHoverInterval, this);
}

// Leave events go missing when the mouse leaves fast or over another window: the timer asks
// where the mouse is instead.
void CHyperLink::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_hoverTimer.timerId()) {
        QLabel::timerEvent(event);
        return;
    }
    if (rect().contains(mapFromGlobal(QCursor::pos())))
        return;
    m_hoverTimer.stop();
    m_hovering = false;
    applyLook();
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()))
        return;
    // Visited once a program started; a failure it reports later takes that back.
    const bool wasVisited = m_visited;
    const QPointer<CHyperLink> self(this);
    const int code = Open(m_address, qApp, [self, wasVisited](int later) {
        if (self) {
            self->m_visited = wasVisited;
            self->applyLook();
        }
        report(self, later);
    });
    if (code <= 32) {
        report(this, code);
        return;
    }
    m_visited = true;
    applyLook();
}

void CHyperLink::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitToText();
}

int CHyperLink::Open(const QString& address, QObject* owner, std::function<void(int)> failed)
{
    // The desktop's own opener first; when it cannot, the default web browser shows the address.
    const auto throughBrowser = [address](int openerCode) {
        const QString commandLine = platform::defaultCommandLineOfType(QStringLiteral("text/html"));
        return commandLine.isEmpty() ? openerCode : platform::startCommandLine(commandLine, address);
    };
    const int code =
        platform::openAddress(address, owner, [throughBrowser, failed = std::move(failed)](int openerCode) {
            const int later = throughBrowser(openerCode);
            if (later <= 32 && failed)
                failed(later);
        });
    return code > 32 ? code : throughBrowser(code);
}

void CHyperLink::openOrReport(const QString& address, QWidget* parent)
{
    // The opener belongs to the application: the window asking may close before it is done.
    const QPointer<QWidget> over(parent);
    const int code = Open(address, qApp, [over](int later) { report(over, later); });
    if (code <= 32)
        report(parent, code);
}

QString CHyperLink::failureText(int code)
{
    const auto* known = std::find_if(std::begin(kFailureTexts), std::end(kFailureTexts),
                                     [code](const FailureText& entry) { return entry.code == code; });
    const QString reason =
        known != std::end(kFailureTexts) ? tr(known->text) : tr("Unknown Error (%1) occurred.").arg(code);
    return tr("Unable to open hyperlink:\n\n") + reason;
}
