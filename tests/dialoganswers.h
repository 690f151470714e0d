#pragma once
// Answers the modal dialogs a test makes the program open, in the order they show, as a user
// would: each answer gets its dialog from the event loop that dialog runs, once it is shown.
// Windows that are not modal (a progress window) are left alone. What each dialog answered said
// is kept: a message box's text, any other dialog's title.

#include <functional>
#include <utility>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QList>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

class DialogAnswers : public QObject {
public:
    using Answer = std::function<void(QDialog*)>;

    explicit DialogAnswers(QList<Answer> answers) : m_answers(std::move(answers)) { qApp->installEventFilter(this); }
    ~DialogAnswers() override { qApp->removeEventFilter(this); }

    // A message box answered with `button`.
    static Answer click(QMessageBox::StandardButton button)
    {
        return [button](QDialog* dialog) {
            if (auto* box = qobject_cast<QMessageBox*>(dialog))
                box->button(button)->click();
            else
                dialog->reject();
        };
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
