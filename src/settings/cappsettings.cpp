#include "settings/cappsettings.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>

#include "settings/csettingsstore.h"

namespace {

struct IntField {
    const settingskeys::IntValue& key;
    int CAppSettings::*member;
};

// The integer fields in load order.
const std::array<IntField, 15> kFields{{
    {settingskeys::kSelect, &CAppSettings::Select},
    {settingskeys::kAround, &CAppSettings::Around},
    {settingskeys::kDontScanHeaders, &CAppSettings::DontScanHeaders},
    {settingskeys::kDoubleClick, &CAppSettings::DoubleClick},
    {settingskeys::kFullRow, &CAppSettings::FullRow},
    {settingskeys::kGridLines, &CAppSettings::GridLines},
    {settingskeys::kHidePreview, &CAppSettings::HidePreview},
    {settingskeys::kShowVideo, &CAppSettings::ShowVideo},
    {settingskeys::kSingleClick, &CAppSettings::SingleClick},
    {settingskeys::kSavePosition, &CAppSettings::SavePosition},
    {settingskeys::kShowHidden, &CAppSettings::ShowHidden},
    {settingskeys::kShowNonImages, &CAppSettings::ShowNonImages},
    {settingskeys::kAutoRefresh, &CAppSettings::AutoRefresh},
    {settingskeys::kViewMode, &CAppSettings::ViewMode},
    {settingskeys::kKeepThumbnails, &CAppSettings::KeepThumbnails},
}};

// The save order moves DontScanHeaders (index 2 above) after SavePosition.
constexpr std::array<std::size_t, 15> kSaveOrder{0, 1, 3, 4, 5, 6, 7, 8, 9, 2, 10, 11, 12, 13, 14};

} // namespace

CAppSettings::CAppSettings(QObject* parent) : QObject(parent), Timer(settingskeys::kTimer.defaultValue) {}

void CAppSettings::LoadSettings()
{
    Timer = CSettingsStore::GetProfileString(settingskeys::kTimer.section, settingskeys::kTimer.name, Timer);
    for (const IntField& field : kFields)
        this->*field.member = CSettingsStore::GetProfileInt(field.key);
}

void CAppSettings::SaveSettings()
{
    {
        const CSettingsStore::Batch batch;
        CSettingsStore::WriteProfileString(settingskeys::kTimer.section, settingskeys::kTimer.name, Timer);
        for (std::size_t index : kSaveOrder)
            CSettingsStore::WriteProfileInt(kFields[index].key, this->*kFields[index].member);
    }
    Q_EMIT changed();
}

void CAppSettings::SaveFields(std::initializer_list<int CAppSettings::*> fields) const
{
    const CSettingsStore::Batch batch;
    for (const IntField& field : kFields) {
        if (std::find(fields.begin(), fields.end(), field.member) != fields.end())
            CSettingsStore::WriteProfileInt(field.key, this->*field.member);
    }
}

int CAppSettings::timerDelay() const
{
    constexpr qint64 kLongest = std::numeric_limits<int>::max();
    qsizetype at = 0;
    // C's isspace in the C locale.
    while (at < Timer.size() && QStringView(u" \t\n\v\f\r").contains(Timer.at(at)))
        ++at;
    bool negative = false;
    if (at < Timer.size() && (Timer.at(at) == u'+' || Timer.at(at) == u'-'))
        negative = Timer.at(at++) == u'-';
    qint64 value = 0;
    for (; at < Timer.size() && Timer.at(at) >= u'0' && Timer.at(at) <= u'9'; ++at)
        value = std::min(value * 10 + (Timer.at(at).unicode() - u'0'), kLongest);
    return negative ? 0 : int(value);
}
