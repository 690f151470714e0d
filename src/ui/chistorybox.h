#pragma once
// CHistoryBox: the browser's address box. Its list holds the folders typed into it and the
// folders the browser showed, each once (case does not matter), in the order they came; the
// list is kept in the settings store ("History": "URL0", "URL1", ...) as it grows, so the next
// run starts with it. When it is full the oldest entry goes.
//
// Enter sends "SelectFolder" with the typed text and kind 4 to the target; an entry chosen from
// the list sends "SelectFolder" twice with the entry's text, kinds 3 and then 1, so that the
// folder tree and this box follow before the list goes there. Typed text of four characters or
// more is completed from the list. UI thread only; the target must outlive the box.

#include "ui/cautofinishcombobox.h"

class CHistoryBox : public CAutoFinishComboBox {
    Q_OBJECT
public:
    explicit CHistoryBox(QObject* target, QWidget* parent = nullptr);

    // Shows `path` (the folder the browser went to) and adds it to the list.
    void setAddress(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void loadHistory();
    // Appends the edit's text unless the list has it; blank text is not kept.
    void addCurrentText();
    void enter();
    void choose(int index);

    QObject* m_target;
};
