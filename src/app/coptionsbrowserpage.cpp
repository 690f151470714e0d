#include "app/coptionsbrowserpage.h"

#include <utility>

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "settings/cappsettings.h"

namespace {

struct CheckField {
    const char* text;
    int CAppSettings::*field;
};

struct Group {
    const char* title;
    std::initializer_list<CheckField> checks;
};

} // namespace

COptionsBrowserPage::COptionsBrowserPage(CAppSettings& options, std::function<void()> applyBrowserOptions,
                                         QWidget* parent)
    : QWidget(parent), m_options(options), m_applyBrowserOptions(std::move(applyBrowserOptions))
{
    auto* placement = new QGroupBox(tr("Window size and position"), this);
    m_savePosition = new QRadioButton(tr("Save window size"), placement);
    auto* dontSave = new QRadioButton(tr("Don't save size"), placement);
    (m_options.SavePosition ? m_savePosition : dontSave)->setChecked(true);
    auto* placementColumn = new QVBoxLayout(placement);
    placementColumn->addWidget(m_savePosition);
    placementColumn->addWidget(dontSave);

    const Group groups[] = {
        {"Click-to-edit",
         {{"Single click to edit file name", &CAppSettings::SingleClick},
          {"Double click to edit description", &CAppSettings::DoubleClick}}},
        {"Miscellaneous",
         {{"Preview audio/video clips", &CAppSettings::ShowVideo},
          {"Hide preview in thumbnails mode", &CAppSettings::HidePreview},
          {"Keep thumbnails for other programs and later visits", &CAppSettings::KeepThumbnails}}},
        {"Display",
         {{"Full row select", &CAppSettings::FullRow},
          {"Show gridlines", &CAppSettings::GridLines},
          {"Don't scan headers of image files", &CAppSettings::DontScanHeaders}}},
    };
    auto* grid = new QGridLayout(this);
    grid->addWidget(placement, 0, 0);
    int cell = 1;
    for (const Group& group : groups) {
        auto* box = new QGroupBox(tr(group.title), this);
        auto* column = new QVBoxLayout(box);
        for (const CheckField& check : group.checks) {
            auto* button = new QCheckBox(tr(check.text), box);
            button->setChecked(m_options.*check.field != 0);
            column->addWidget(button);
            m_checks.append({button, check.field});
        }
        column->addStretch();
        grid->addWidget(box, cell / 2, cell % 2);
        ++cell;
    }
}

void COptionsBrowserPage::Confirm()
{
    for (const auto& [button, field] : std::as_const(m_checks))
        m_options.*field = button->isChecked() ? 1 : 0;
    m_options.SavePosition = m_savePosition->isChecked() ? 1 : 0;
    m_options.SaveSettings();
    m_applyBrowserOptions();
}
