#pragma once
// The base of the two top-level frames: it tells the application when the frame is shown, when it
// takes the focus (it then becomes the main window) and when the user closes it.

#include <QMainWindow>

class CFrameWindow : public QMainWindow {
    Q_OBJECT
public:
    using QMainWindow::QMainWindow;

Q_SIGNALS:
    void shown();
    void activated();
    void closing();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
};
