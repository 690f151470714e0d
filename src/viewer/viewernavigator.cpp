#include "viewer/viewernavigator.h"

#include <QRandomGenerator>

#include "settings/cappsettings.h"
#include "viewer/picturelist.h"

bool ViewerNavigator::Next(bool wrap, Trigger trigger)
{
    return step(1, wrap, trigger);
}

bool ViewerNavigator::Previous(bool wrap, Trigger trigger)
{
    return step(-1, wrap, trigger);
}

bool ViewerNavigator::step(int direction, bool wrap, Trigger trigger)
{
    if (!m_list)
        return false;
    const int start = m_list->firstSelectedRow();
    const int count = m_list->rowCount();
    if (start < 0 || start >= count)
        return false;
    // The keys leave a lone picture alone; the slide show ends on it.
    if (trigger == Trigger::Command && m_list->pictureCount() == 1 && m_list->isKnownPicture(start))
        return false;
    int row = knownFrom(start + direction, direction);
    if (row < 0 && wrap)
        row = knownFrom(direction > 0 ? 0 : count - 1, direction);
    if (row < 0 || row == start) {
        Q_EMIT endReached();
        return false;
    }
    return moveTo(row);
}

bool ViewerNavigator::First()
{
    return m_list && moveTo(knownFrom(0, 1));
}

bool ViewerNavigator::Last()
{
    return m_list && moveTo(knownFrom(m_list->rowCount() - 1, -1));
}

bool ViewerNavigator::Random()
{
    if (!m_list)
        return false;
    const int count = m_list->pictureCount();
    if (count <= 0)
        return false;
    // The n-th known row, n drawn uniformly: no list of rows is made for one draw.
    int left = QRandomGenerator::global()->bounded(count);
    for (int row = 0, rows = m_list->rowCount(); row < rows; ++row) {
        if (m_list->isKnownPicture(row) && left-- == 0)
            return moveTo(row);
    }
    return false;
}

QString ViewerNavigator::currentPath() const
{
    const int row = m_list ? m_list->firstSelectedRow() : -1;
    return row < 0 ? QString() : m_list->folder() + m_list->rowName(row);
}

QString ViewerNavigator::positionText() const
{
    const int row = m_list ? m_list->firstSelectedRow() : -1;
    if (row < 0 || !m_list->isKnownPicture(row))
        return {};
    int known = 0;
    for (int before = 0; before <= row; ++before)
        known += m_list->isKnownPicture(before) ? 1 : 0;
    return QStringLiteral("%1/%2").arg(known).arg(m_list->pictureCount());
}

int ViewerNavigator::knownFrom(int from, int direction) const
{
    for (int row = from, count = m_list->rowCount(); row >= 0 && row < count; row += direction) {
        if (m_list->isKnownPicture(row))
            return row;
    }
    return -1;
}

bool ViewerNavigator::moveTo(int to)
{
    if (to < 0)
        return false;
    const int from = m_list->firstSelectedRow();
    if (from >= 0 && from != to)
        m_list->clearRowSelection(from);
    m_list->selectRow(to);
    return true;
}

// ---- SlideShow --------------------------------------------------------------------------------

SlideShow::SlideShow(ViewerNavigator& navigator, const CAppSettings& options, QObject* parent)
    : QObject(parent), m_navigator(navigator), m_options(options)
{
    connect(&m_timer, &QTimer::timeout, this, &SlideShow::step);
    connect(&m_navigator, &ViewerNavigator::endReached, this, &SlideShow::stop);
}

SlideShow::Order SlideShow::order() const
{
    const int order = m_options.Select;
    return order == kReverse || order == kRandom ? Order(order) : kForward;
}

bool SlideShow::start()
{
    const int delay = m_options.timerDelay();
    if (delay == 0)
        return false;
    const bool wasRunning = isRunning();
    m_timer.start(delay);
    if (!wasRunning)
        Q_EMIT runningChanged(true);
    return true;
}

void SlideShow::stop()
{
    if (!isRunning())
        return;
    m_timer.stop();
    Q_EMIT runningChanged(false);
}

void SlideShow::step()
{
    bool loaded = false;
    const bool wrap = m_options.Around != 0;
    switch (order()) {
    case kForward:
        loaded = m_navigator.Next(wrap, ViewerNavigator::Trigger::SlideShow);
        break;
    case kReverse:
        loaded = m_navigator.Previous(wrap, ViewerNavigator::Trigger::SlideShow);
        break;
    case kRandom:
        loaded = m_navigator.Random();
        break;
    }
    if (loaded)
        Q_EMIT shown();
}
