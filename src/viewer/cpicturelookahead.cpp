#include "viewer/cpicturelookahead.h"

#include <algorithm>

#include <QDateTime>
#include <QFileInfo>
#include <QThreadPool>

#include "core/executor.h"
#include "imagelib/cbmpex.h"
#include "imagelib/limits.h"

namespace {

using FileStamp = CPictureLookahead::FileStamp;
using Decoded = CPictureLookahead::Decoded;

// Every slide is held as 32-bit pixels, whatever the file's depth.
constexpr qint64 kBytesPerPixel = 4;

// The bytes of one slide's pixels; -1 for a size no decoder would make, as a hostile header
// may claim.
qint64 slideBytes(qint64 width, qint64 height)
{
    const int maxSide = imagelib::limits().maxSide;
    if (width <= 0 || height <= 0 || width > maxSide || height > maxSide)
        return -1;
    return width * height * kBytesPerPixel;
}

bool withinBudget(qint64 bytes, qint64 budget)
{
    return bytes >= 0 && bytes <= budget;
}

std::optional<FileStamp> stampOf(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return std::nullopt;
    return FileStamp{info.size(), info.lastModified().toMSecsSinceEpoch()};
}

// The pixels of every slide together; -1 when a slide's size is unknown or absurd.
qint64 decodedBytes(const CBmpEx& picture)
{
    qint64 bytes = 0;
    for (int slide = 0, slides = picture.slideCount(); slide < slides && bytes >= 0; ++slide) {
        const QSize size = picture.slideSize(slide);
        const qint64 slideSize = size.isValid() ? slideBytes(size.width(), size.height()) : -1;
        bytes = slideSize < 0 ? -1 : bytes + slideSize;
    }
    return bytes;
}

// Decodes `path` within the budget; nothing when it is no picture, too large or gone.
std::optional<Decoded> decode(const QString& path, qint64 budget, const RunToken& token)
{
    // Taken before reading: a file rewritten while it is decoded no longer matches at take().
    const std::optional<FileStamp> stamp = stampOf(path);
    if (!stamp)
        return std::nullopt;
    auto picture = std::make_unique<CBmpEx>();
    // The header tells the size without decoding; formats whose header says nothing are
    // measured once decoded.
    const std::optional<CBmpEx::FileInfo> info = picture->fileInfo(path);
    if (info && !withinBudget(slideBytes(info->size.width(), info->size.height()), budget))
        return std::nullopt;
    picture->setCancelFlag(token.stopFlag());
    const bool loaded = picture->Load(path);
    // The flag belongs to this run, which the picture outlives.
    picture->setCancelFlag(nullptr);
    if (!loaded || !withinBudget(decodedBytes(*picture), budget))
        return std::nullopt;
    return Decoded{path, *stamp, std::move(picture), std::nullopt};
}

} // namespace

CPictureLookahead::CPictureLookahead(QObject* parent) : QObject(parent), m_run(this, executor::Priority::Interactive) {}

CPictureLookahead::~CPictureLookahead()
{
    m_run.stop();
}

void CPictureLookahead::prefetch(const QString& path, const LayoutRequest& request)
{
    // Being decoded, or decoded and not handed over yet: take() checks the file anyway, so
    // decoding it again now would only cost time.
    if (isDecoding(path) || (m_held && m_held->path == path)) {
        setLayoutRequest(request);
        return;
    }
    m_request = request;
    m_run.stop();
    if (m_outcome)
        dropLater(m_outcome->decoded);
    dropHeld();
    auto outcome = std::make_shared<Outcome>();
    outcome->path = path;
    startRun(std::move(outcome));
}

void CPictureLookahead::setLayoutRequest(const LayoutRequest& request)
{
    if (request == m_request)
        return;
    m_request = request;
    // A run whose outcome is still to come is checked when it comes.
    if (!m_outcome || m_outcome->collected)
        layOutAgainIfStale();
}

void CPictureLookahead::startRun(std::shared_ptr<Outcome> outcome)
{
    outcome->request = m_request;
    m_outcome = outcome;
    m_run.start(0, [this, outcome, budget = m_budgetBytes](const RunToken& token) {
        if (!outcome->decoded)
            outcome->decoded = decode(outcome->path, budget, token);
        if (outcome->decoded && !token.stopRequested())
            outcome->decoded->layout = prepareLayout(*outcome->decoded->picture, outcome->request);
        token.deliver([this, path = outcome->path, held = outcome->decoded.has_value()] {
            collect();
            // The window may have changed while the run was under way.
            layOutAgainIfStale();
            Q_EMIT prefetched(path, held);
        });
    });
}

void CPictureLookahead::layOutAgainIfStale()
{
    if (!m_held || (m_held->layout && m_held->layout->request == m_request))
        return;
    auto outcome = std::make_shared<Outcome>();
    outcome->path = m_held->path;
    outcome->decoded = std::move(m_held);
    m_held.reset();
    startRun(std::move(outcome));
}

bool CPictureLookahead::take(const QString& path, CBmpEx& current, std::optional<PreparedLayout>* layout)
{
    if (isDecoding(path)) {
        // The run never waits for this thread, so the run under way ends by itself, done or
        // failed, and this wait with it.
        m_run.finish();
        collect();
    }
    if (!m_held || m_held->path != path)
        return false;
    if (stampOf(path) != std::optional(m_held->stamp)) {
        dropHeld();
        return false;
    }
    current.swapPicture(*m_held->picture);
    if (layout)
        *layout = std::move(m_held->layout);
    // The picture that was current goes with the held object, off this thread.
    dropHeld();
    return true;
}

void CPictureLookahead::clear()
{
    m_run.stop();
    if (m_outcome)
        dropLater(m_outcome->decoded);
    m_outcome.reset();
    dropHeld();
}

void CPictureLookahead::setBudgetBytes(qint64 bytes)
{
    m_budgetBytes = std::max<qint64>(bytes, 0);
}

void CPictureLookahead::collect()
{
    if (!m_outcome || m_outcome->collected)
        return;
    m_outcome->collected = true;
    if (!m_outcome->decoded)
        return;
    dropHeld();
    m_held = std::move(m_outcome->decoded);
    m_outcome->decoded.reset();
}

void CPictureLookahead::dropHeld()
{
    dropLater(m_held);
}

void CPictureLookahead::dropLater(std::optional<Decoded>& decoded)
{
    if (!decoded)
        return;
    // Freeing a camera picture's pages takes time the UI thread does not have.
    executor::pool().start([picture = std::shared_ptr<CBmpEx>(std::move(decoded->picture))] {});
    decoded.reset();
}
