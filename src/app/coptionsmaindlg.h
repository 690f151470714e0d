#pragma once
// The Options dialog: the Browser and Slide Show pages on two tabs. OK confirms the Slide Show
// page and then the Browser page (each saves the record; the Browser page then runs
// `applyBrowserOptions`); Cancel leaves the record as it was. Modal, UI thread only; the record
// must outlive the dialog.

#include <functional>

#include <QDialog>

class CAppSettings;
class COptionsBrowserPage;
class COptionsSlideShowPage;

class COptionsMainDlg : public QDialog {
    Q_OBJECT
public:
    COptionsMainDlg(CAppSettings& options, std::function<void()> applyBrowserOptions, QWidget* parent = nullptr);

    void accept() override;

private:
    COptionsBrowserPage* m_browserPage;
    COptionsSlideShowPage* m_slideShowPage;
};
