#pragma once
// CAutoFinishComboBox: an editable combo box that completes what the user types from its own
// list. Once the typed text is minLength characters or longer, the first entry beginning with it
// (case does not matter) fills the edit, and the completed part is selected so that the next key
// typed replaces it. Delete and Backspace never complete: what the user removes stays removed
// until another key is pressed. Only the user's edits complete; text set by the program does
// not. UI thread only.

#include <QComboBox>

class CAutoFinishComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit CAutoFinishComboBox(int minLength, QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void editChanged(const QString& typed);

    // Whether the next edit may be completed: cleared by Delete and Backspace, set by any other key.
    bool m_armed = true;
    int m_minLength;
};
