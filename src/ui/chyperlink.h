#pragma once
// CHyperLink: a text label that opens an address when clicked, underlined while the mouse is over
// it and coloured as links are (its own colour, red while hovered, purple once visited). Its Open
// also serves callers that only want an address opened: the help and web commands. UI thread only.

#include <functional>

#include <QBasicTimer>
#include <QColor>
#include <QFont>
#include <QLabel>
#include <QString>

class CHyperLink : public QLabel {
    Q_OBJECT
public:
    enum class Underline { WhileHovering = -1, Never = 0, Always = 1 };

    static constexpr QRgb kLinkColour = qRgb(0, 0, 238);
    static constexpr QRgb kVisitedColour = qRgb(85, 26, 139);
    static constexpr QRgb kHoverColour = qRgb(255, 0, 0);

    // Shows `text` and opens `address`, or the text itself when the address is empty. The label
    // keeps the size of its text (so that only the text is clickable), anchored by its alignment.
    explicit CHyperLink(const QString& text, const QString& address = {}, QWidget* parent = nullptr);

    QString address() const { return m_address; }
    // A new address: the tooltip shows it and the label fits its text again.
    void SetURL(const QString& address);
    void SetUnderline(Underline mode);
    bool isHovering() const { return m_hovering; }
    bool isVisited() const { return m_visited; }
    QColor textColour() const;

    // Opens an address (web, mail or a local file) with the program the desktop associates with
    // it; when the desktop cannot, with the default web browser. Returns at once: above 32 when a
    // program was started, else the failure's code. A failure that shows only later (the
    // desktop's opener finds no program) comes to `failed`, unless `owner` is gone by then.
    static int Open(const QString& address, QObject* owner, std::function<void(int)> failed);
    // Opens the address as Open does and, when nothing could open it, beeps and says why in a
    // message box over `parent`: what the help and web commands do.
    static void openOrReport(const QString& address, QWidget* parent);
    // The message shown when opening failed with `code`.
    static QString failureText(int code);

protected:
    void enterEvent(QEnterEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyLook();
    void fitToText();

    QString m_address;
    bool m_hovering = false;
    bool m_visited = false;
    Underline m_underline = Underline::WhileHovering;
    QBasicTimer m_hoverTimer;
};
