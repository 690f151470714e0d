#pragma once
// Answers the modal dialogs a test makes the program open, in the order they show, as a user
// would: each answer gets its dialog from the event loop that dialog runs. Windows that are not
// modal (a progress window) are left alone. `shown` keeps a message box's text, another
// dialog's title.

#include <functional>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>

class DialogAnswers : public QObject {
public:
    using Answer = std::function<void(QDialog*)>;

    explicit DialogAnswers(QList<Answer> answers) : m_answers(std::move(answers)) { qApp->installEventFilter(this); }

    // A message box answered with `button`.
    static Answer click(QMessageBox::StandardButton button)
    {
        return [button](QDialog* dialog) { qobject_cast<QMessageBox*>(dialog)->button(button)->click(); };
    }

    QStringList shown;
    bool allGiven() const { return m_answers.isEmpty(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (!dialog || event->type() != QEvent::Show || !dialog->isModal() || m_answers.isEmpty())
            return false;
        const auto* box = qobject_cast<QMessageBox*>(dialog);
        shown << (box ? box->text() : dialog->windowTitle());
        QTimer::singleShot(0, dialog, [dialog, answer = m_answers.takeFirst()] { answer(dialog); });
        return false;
    }

private:
    QList<Answer> m_answers;
};
