#include "app/coptionsslideshowpage.h"

#include <algorithm>
#include <array>
#include <limits>

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "settings/cappsettings.h"

namespace {

struct Step {
    quint32 milliseconds;
    const char* name;
};

// The slider's positions.
constexpr std::array<Step, 20> kSteps{{
    {0, "No delay"},        {500, "0,5 sec."},      {1000, "1 sec."},       {3000, "3 sec."},
    {5000, "5 sec."},       {10000, "10 sec."},     {15000, "15 sec."},     {30000, "30 sec."},
    {50000, "50 sec."},     {60000, "1 min."},      {90000, "1,5 min."},    {180000, "3 min."},
    {300000, "5 min."},     {600000, "10 min."},    {900000, "15 min."},    {1200000, "20 min."},
    {1800000, "30 min."},   {2400000, "40 min."},   {3000000, "50 min."},   {3600000, "1 hour"},
}};
constexpr quint32 kLongestDelay = kSteps.back().milliseconds;

// The text as an unsigned decimal number: 0 unless it is digits only (blanks around allowed).
// A number too large for 32 bits reads as the largest one, so that it counts as too long a delay.
quint32 unsignedValue(const QString& text)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return 0;
    bool fits = false;
    const quint32 value = digits.toUInt(&fits);
    return fits ? value : std::numeric_limits<quint32>::max();
}

// The last step whose delay is not longer than `milliseconds`.
int stepOf(quint32 milliseconds)
{
    const auto after = std::upper_bound(kSteps.begin(), kSteps.end(), milliseconds,
                                        [](quint32 value, const Step& step) { return value < step.milliseconds; });
    return int(after - kSteps.begin()) - 1;
}

} // namespace

COptionsSlideShowPage::COptionsSlideShowPage(CAppSettings& options, QWidget* parent)
    : QWidget(parent),
      m_options(options),
      m_slider(new QSlider(Qt::Horizontal)),
      m_delay(new QLineEdit),
      m_delayName(new QLabel),
      m_around(new QCheckBox(tr("Wrap around")))
{
    auto* timed = new QGroupBox(tr("Timed slide show"), this);
    m_slider->setRange(0, int(kSteps.size()) - 1);
    m_slider->setPageStep(1);
    m_slider->setTickPosition(QSlider::TicksBelow);
    (new QVBoxLayout(timed))->addWidget(m_slider);

    auto* sequence = new QGroupBox(tr("Sequence"), this);
    auto* sequenceColumn = new QVBoxLayout(sequence);
    auto* order = new QButtonGroup(this);
    for (const char* text : {"Forward", "Reverse", "Random"}) {
        auto* button = new QRadioButton(tr(text), sequence);
        order->addButton(button);
        sequenceColumn->addWidget(button);
        m_order.append(button);
    }
    sequenceColumn->addWidget(m_around);
    if (m_options.Select >= 0 && m_options.Select < m_order.size())
        m_order[m_options.Select]->setChecked(true);
    m_around->setChecked(m_options.Around != 0);

    auto* delay = new QGroupBox(tr("Delay"), this);
    m_delay->setObjectName(QStringLiteral("delay"));
    m_delayName->setObjectName(QStringLiteral("delayName"));
    auto* delayRow = new QHBoxLayout;
    delayRow->addWidget(m_delay);
    delayRow->addWidget(new QLabel(tr("milliseconds"), delay));
    auto* delayColumn = new QVBoxLayout(delay);
    delayColumn->addLayout(delayRow);
    delayColumn->addWidget(m_delayName);

    auto* grid = new QGridLayout(this);
    grid->addWidget(timed, 0, 0, 1, 2);
    grid->addWidget(sequence, 1, 0);
    grid->addWidget(delay, 1, 1);
    grid->setRowStretch(2, 1);

    m_delay->setText(m_options.Timer);
    delayTyped(m_delay->text());
    connect(m_delay, &QLineEdit::textChanged, this, &COptionsSlideShowPage::delayTyped);
    connect(m_slider, &QSlider::valueChanged, this, &COptionsSlideShowPage::sliderMoved);
}

void COptionsSlideShowPage::delayTyped(const QString& text)
{
    const int step = stepOf(unsignedValue(text));
    const QSignalBlocker quiet(m_slider);
    m_slider->setValue(step);
    m_delayName->setText(tr(kSteps[size_t(step)].name));
}

void COptionsSlideShowPage::sliderMoved(int position)
{
    const Step& step = kSteps[size_t(position)];
    {
        const QSignalBlocker quiet(m_delay);
        m_delay->setText(QString::number(step.milliseconds));
    }
    m_delayName->setText(tr(step.name));
}

void COptionsSlideShowPage::Confirm()
{
    for (int select = 0; select < m_order.size(); ++select) {
        if (m_order[select]->isChecked())
            m_options.Select = select;
    }
    m_options.Around = m_around->isChecked() ? 1 : 0;
    m_options.Timer =
        unsignedValue(m_delay->text()) > kLongestDelay ? QString::number(kLongestDelay) : m_delay->text();
    m_options.SaveSettings();
}
