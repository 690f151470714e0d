#pragma once
// Tests that check that nothing arrives: a worker that was stopped or destroyed, or a run that
// was replaced, posted everything it will ever post before that call returned. Delivering every
// event posted so far on this thread then shows all of it, so a check made afterwards cannot
// pass early, and no fixed wait is needed.

#include <QCoreApplication>

inline void deliverPostedEvents()
{
    QCoreApplication::sendPostedEvents();
}
