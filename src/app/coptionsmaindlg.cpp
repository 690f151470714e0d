#include "app/coptionsmaindlg.h"

#include <utility>

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/coptionsbrowserpage.h"
#include "app/coptionsslideshowpage.h"

COptionsMainDlg::COptionsMainDlg(CAppSettings& options, std::function<void()> applyBrowserOptions, QWidget* parent)
    : QDialog(parent),
      m_browserPage(new COptionsBrowserPage(options, std::move(applyBrowserOptions))),
      m_slideShowPage(new COptionsSlideShowPage(options))
{
    setWindowTitle(tr("Options"));
    auto* tabs = new QTabWidget(this);
    tabs->addTab(m_browserPage, tr("Browser"));
    tabs->addTab(m_slideShowPage, tr("Slide Show"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionsMainDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionsMainDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
}

void COptionsMainDlg::accept()
{
    m_slideShowPage->Confirm();
    m_browserPage->Confirm();
    QDialog::accept();
}
