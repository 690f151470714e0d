#pragma once
// The Browser page of the Options dialog: the window placement, click-to-edit, preview and
// display options of the file list. It shows the fields of the record as they are when it opens;
// Confirm() copies its controls into the record, saves it and runs `applyBrowserOptions`.
// UI thread only; the record must outlive the page.

#include <functional>

#include <QWidget>

class CAppSettings;
class QCheckBox;
class QRadioButton;

class COptionsBrowserPage : public QWidget {
    Q_OBJECT
public:
    COptionsBrowserPage(CAppSettings& options, std::function<void()> applyBrowserOptions, QWidget* parent = nullptr);

    void Confirm();

private:
    CAppSettings& m_options;
    std::function<void()> m_applyBrowserOptions;
    QRadioButton* m_savePosition;
    // Each check box with the field it carries.
    QList<std::pair<QCheckBox*, int CAppSettings::*>> m_checks;
};
