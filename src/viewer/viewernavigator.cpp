#include "viewer/viewernavigator.h"

#include <limits>
#include <vector>

#include <QRandomGenerator>

#include "fileops/cfileinfo.h"
#include "settings/cappsettings.h"
#include "viewer/picturelist.h"

ViewerNavigator::ViewerNavigator(LoadFunction load, QObject* parent) : QObject(parent), m_load(std::move(load)) {}

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
    const int last = m_list->rowCount() - 1;
    if (start < 0 || start > last)
        return false;
    if (trigger == Trigger::Command && m_list->pictureCount() == 1)
        return false;
    const int position = knownBefore(start);
    const bool atEnd = direction > 0 ? position + 1 == m_list->pictureCount() : position == 0;
    if ((atEnd && !wrap) || last == 0) {
        Q_EMIT endReached();
        return false;
    }
    // Every row is tried at most once: the walk ends on the starting row whether it wraps or
    // turns back, so a list where nothing loads cannot keep it going.
    int row = start;
    do {
        m_list->clearRowSelection(row);
        row += direction;
        if (row < 0 || row > last)
            row = wrap ? (direction > 0 ? 0 : last) : start;
        m_list->selectRow(row);
        if (load(row))
            return true;
    } while (row != start);
    Q_EMIT endReached();
    return false;
}

bool ViewerNavigator::First()
{
    return m_list && firstLoading(0, 1);
}

bool ViewerNavigator::Last()
{
    return m_list && firstLoading(m_list->rowCount() - 1, -1);
}

bool ViewerNavigator::firstLoading(int from, int direction)
{
    const int count = m_list->rowCount();
    for (int row = from; row >= 0 && row < count; row += direction) {
        // The browser's rows are known pictures once read; an extension tells of the rest.
        if (!m_list->isKnownPicture(row) && !CFileInfo::IsImageByExtension(m_list->rowName(row)))
            continue;
        if (load(row)) {
            moveSelection(m_list->firstSelectedRow(), row);
            return true;
        }
    }
    return false;
}

bool ViewerNavigator::Random()
{
    if (!m_list)
        return false;
    std::vector<int> known;
    known.reserve(size_t(std::max(m_list->pictureCount(), 0)));
    for (int row = 0, count = m_list->rowCount(); row < count; ++row) {
        if (m_list->isKnownPicture(row))
            known.push_back(row);
    }
    if (known.empty())
        return false;
    const int row = known[size_t(QRandomGenerator::global()->bounded(int(known.size())))];
    if (!load(row))
        return false;
    moveSelection(m_list->firstSelectedRow(), row);
    return true;
}

QString ViewerNavigator::currentPath() const
{
    const int row = m_list ? m_list->firstSelectedRow() : -1;
    return row < 0 ? QString() : m_list->folder() + m_list->rowName(row);
}

QString ViewerNavigator::positionText() const
{
    const int row = m_list ? m_list->firstSelectedRow() : -1;
    if (row < 0)
        return {};
    return QStringLiteral("%1/%2").arg(knownBefore(row) + 1).arg(m_list->pictureCount());
}

int ViewerNavigator::knownBefore(int row) const
{
    int known = 0;
    for (int before = 0; before < row; ++before) {
        if (m_list->isKnownPicture(before))
            ++known;
    }
    return known;
}

bool ViewerNavigator::load(int row)
{
    if (!m_load(m_list->folder() + m_list->rowName(row)))
        return false;
    if (!m_list->isKnownPicture(row))
        m_list->setKnownPicture(row);
    return true;
}

void ViewerNavigator::moveSelection(int from, int to)
{
    if (from >= 0 && from != to)
        m_list->clearRowSelection(from);
    m_list->selectRow(to);
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
