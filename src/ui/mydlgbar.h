#pragma once
// MyDlgBar: the browser frame's address bar, a band of the frame's top area holding the address
// box (CHistoryBox) across its width. It shares the frame's background texture. UI thread only.

#include "ui/ctexture.h"

class CHistoryBox;

class MyDlgBar : public CTexturedToolBar {
    Q_OBJECT
public:
    // `target` receives the address box's "SelectFolder" messages and must outlive the bar.
    MyDlgBar(QObject* target, QWidget* parent = nullptr);

    CHistoryBox* historyBox() const { return m_box; }

private:
    CHistoryBox* m_box;
};
