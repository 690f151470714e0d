#include "ui/cautofinishcombobox.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace {

// Selects `length` characters from `start`; with none, only places the cursor there.
void select(QLineEdit* edit, int start, int length)
{
    if (length > 0)
        edit->setSelection(start, length);
    else
        edit->setCursorPosition(start);
}

} // namespace

CAutoFinishComboBox::CAutoFinishComboBox(int minLength, QWidget* parent) : QComboBox(parent), m_minLength(minLength)
{
    setEditable(true);
    // The box completes by its own rule, and its owner decides what goes into the list.
    setCompleter(nullptr);
    setInsertPolicy(QComboBox::NoInsert);
    // Keys reach the box, which hands them to its edit; a test may send them to the edit.
    installEventFilter(this);
    lineEdit()->installEventFilter(this);
    connect(lineEdit(), &QLineEdit::textEdited, this, &CAutoFinishComboBox::editChanged);
}

bool CAutoFinishComboBox::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == this || watched == lineEdit()) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        m_armed = key != Qt::Key_Delete && key != Qt::Key_Backspace;
    }
    return QComboBox::eventFilter(watched, event);
}

void CAutoFinishComboBox::editChanged(const QString& typed)
{
    if (!m_armed || typed.size() < m_minLength)
        return;
    QLineEdit* edit = lineEdit();
    const int selectionStart = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    const int selectionEnd = edit->hasSelectedText() ? edit->selectionEnd() : edit->cursorPosition();
    const int found = findText(typed, Qt::MatchStartsWith);
    edit->setText(found < 0 ? typed : itemText(found));
    if (selectionEnd < typed.size())
        select(edit, selectionStart, selectionEnd - selectionStart);
    else
        select(edit, int(typed.size()), int(edit->text().size() - typed.size()));
}
