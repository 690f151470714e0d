#include "app/caboutdlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

#include "app/webaddresses.h"
#include "ui/chyperlink.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("About Zelt Pixoria"));
    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon::fromTheme(QStringLiteral("image-x-generic")).pixmap(48, 48));
    auto* text = new QLabel(tr("<b>Zelt Pixoria ver 3.0</b><br>Image viewer and image-file browser"), this);
    const QString home = QString::fromLatin1(web::kHomePage);
    auto* link = new CHyperLink(home, home, this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* words = new QVBoxLayout;
    words->addWidget(text);
    // The link keeps the size of its text: only the text is clickable.
    words->addWidget(link, 0, Qt::AlignLeft);
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addLayout(words, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}
