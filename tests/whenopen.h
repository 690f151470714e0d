#pragma once
// Answers the next window that `find` returns (a modal dialog, a popup menu) once it is open;
// gives up after a while, so that one that never came cannot answer another test's.

#include <functional>
#include <utility>

#include <QApplication>
#include <QTimer>
#include <QWidget>

inline void whenOpen(QWidget* (*find)(), std::function<void(QWidget*)> answer, int triesLeft = 500)
{
    QTimer::singleShot(10, qApp, [find, answer = std::move(answer), triesLeft]() mutable {
        if (QWidget* window = find())
            answer(window);
        else if (triesLeft > 0)
            whenOpen(find, std::move(answer), triesLeft - 1);
    });
}

// The next modal dialog.
inline void whenModal(std::function<void(QWidget*)> answer)
{
    whenOpen(&QApplication::activeModalWidget, std::move(answer));
}
