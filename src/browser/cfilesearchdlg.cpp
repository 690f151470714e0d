#include "browser/cfilesearchdlg.h"

#include <algorithm>

#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "browser/fileitem.h"
#include "core/messages.h"
#include "imagelib/cbmpex.h"
#include "settings/settingskeys.h"
#include "ui/cfolderdialog.h"

// The picture of the selected result, drawn at its own size when it fits the box and scaled down
// to fit otherwise, centred either way.
class CSearchPreview : public QFrame {
public:
    explicit CSearchPreview(QWidget* parent) : QFrame(parent)
    {
        setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        setMinimumSize(160, 120);
    }

    void showFile(const QString& path)
    {
        m_shown = !path.isEmpty() && m_picture.Load(path);
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QFrame::paintEvent(event);
        if (!m_shown)
            return;
        const QRect box = contentsRect();
        const QSize size = m_picture.GetSize();
        if (size.isEmpty())
            return;
        QSize drawn = size;
        if (size.width() + 2 * frameWidth() >= box.width() || size.height() + 2 * frameWidth() >= box.height()) {
            const double scale = std::min(double(box.width()) / size.width(), double(box.height()) / size.height());
            drawn = QSize(std::max(1, int(size.width() * scale)), std::max(1, int(size.height() * scale)));
        }
        QRect target(QPoint(), drawn);
        target.moveCenter(box.center());
        QPainter painter(this);
        (void)m_picture.drawScaled(&painter, target);
    }

private:
    CBmpEx m_picture;
    bool m_shown = false;
};

namespace {

enum Column { kName, kSize, kType, kDate, kFullPath, kColumns };

} // namespace

CFileSearchDlg::CFileSearchDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Find Images"));
    buildControls();
    fillTypes();
    connect(&m_finder, &CFileFinder::filesFound, this, &CFileSearchDlg::addRows);
    connect(&m_finder, &CFileFinder::searchingFolderChanged, this, [this](const QString& folder) {
        m_folderLine->setText(QDir::toNativeSeparators(folder));
        showCount();
    });
    connect(&m_finder, &CFileFinder::finished, this, [this] {
        m_searchButton->setText(tr("Search"));
        showCount();
    });
}

CFileSearchDlg::~CFileSearchDlg()
{
    m_finder.StopSearch();
}

void CFileSearchDlg::buildControls()
{
    m_name = new QLineEdit(this);
    m_types = new QComboBox(this);
    m_name->setObjectName(QStringLiteral("nameEdit"));
    m_lookIn = new QLineEdit(this);
    m_lookIn->setObjectName(QStringLiteral("lookInEdit"));
    m_lookIn->setPlaceholderText(QDir::toNativeSeparators(settingskeys::defaultLastFolder()));
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    browse->setObjectName(QStringLiteral("browseButton"));
    browse->setFixedWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("...")) * 3);
    m_searchButton = new QPushButton(tr("Search"), this);
    m_searchButton->setObjectName(QStringLiteral("searchButton"));
    m_searchButton->setDefault(true);
    auto* exitButton = new QPushButton(tr("Exit"), this);
    exitButton->setObjectName(QStringLiteral("exitButton"));
    m_preview = new CSearchPreview(this);

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(tr("Search for files named:"), this), 0, 0);
    fields->addWidget(m_name, 0, 1, 1, 2);
    fields->addWidget(new QLabel(tr("Choose image type:"), this), 1, 0);
    fields->addWidget(m_types, 1, 1, 1, 2);
    fields->addWidget(new QLabel(tr("Look in:"), this), 2, 0);
    fields->addWidget(m_lookIn, 2, 1);
    fields->addWidget(browse, 2, 2);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_searchButton);
    buttons->addWidget(exitButton);
    buttons->addStretch();
    auto* top = new QHBoxLayout;
    top->addLayout(fields, 1);
    top->addLayout(buttons);
    top->addWidget(m_preview);

    m_results = new QTreeWidget(this);
    m_results->setRootIsDecorated(false);
    m_results->setUniformRowHeights(true);
    m_results->setIconSize(QSize(16, 16));
    m_results->setHeaderLabels({tr("Name"), tr("Size"), tr("Type"), tr("Date"), tr("Full path")});
    const int widths[kColumns] = {120, 50, 80, 110, 250};
    for (int column = 0; column < kColumns; ++column)
        m_results->setColumnWidth(column, widths[column]);
    m_folderLine = new QLabel(this);
    m_folderLine->setObjectName(QStringLiteral("folderLine"));
    m_folderLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_countLine = new QLabel(this);
    m_countLine->setObjectName(QStringLiteral("countLine"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_results, 1);
    layout->addWidget(m_folderLine);
    layout->addWidget(m_countLine);
    resize(680, 460);

    connect(m_searchButton, &QPushButton::clicked, this, &CFileSearchDlg::searchOrStop);
    connect(exitButton, &QPushButton::clicked, this, &CFileSearchDlg::reject);
    connect(browse, &QPushButton::clicked, this, &CFileSearchDlg::chooseFolder);
    connect(m_results, &QTreeWidget::currentItemChanged, this, &CFileSearchDlg::previewCurrent);
    connect(m_results, &QTreeWidget::itemDoubleClicked, this, &CFileSearchDlg::showInBrowser);
}

QList<QPair<QString, QString>> CFileSearchDlg::imageTypes()
{
    // The library's open filter, "Description (*.a *.b);;...", back into its pairs.
    static const QRegularExpression entry(QStringLiteral("^(.*) \\(([^()]*)\\)$"));
    QList<QPair<QString, QString>> types;
    for (const QString& filter : CBmpEx::openDialogFilter().split(QStringLiteral(";;"), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = entry.match(filter);
        if (match.hasMatch() && !match.captured(1).isEmpty())
            types.append({match.captured(1), match.captured(2).split(u' ', Qt::SkipEmptyParts).join(u';')});
    }
    return types;
}

void CFileSearchDlg::fillTypes()
{
    for (const auto& [description, patterns] : imageTypes())
        m_types->addItem(description, patterns);
    const auto choose = [this](int index) { m_typePattern = m_types->itemData(index).toString(); };
    connect(m_types, &QComboBox::currentIndexChanged, this, choose);
    m_types->setCurrentIndex(0);
    choose(0);
}

QStringList CFileSearchDlg::extensionsOf(const QString& patterns)
{
    QStringList extensions;
    for (const QString& part : patterns.split(u';', Qt::SkipEmptyParts)) {
        const QString extension = part.mid(part.lastIndexOf(u'.') + 1).trimmed().toLower();
        if (extension == u'*')
            return {};
        if (!extension.isEmpty())
            extensions << extension;
    }
    return extensions;
}

CFileFinder::Options CFileSearchDlg::searchOptions(const QString& nameText, const QString& typePattern,
                                                   const QString& lookIn)
{
    QString name = nameText.trimmed();
    if (!name.isEmpty() && !name.contains(u'.'))
        name += QStringLiteral("*.*");
    const QString pattern = name.isEmpty() ? typePattern : name;

    CFileFinder::Options options;
    QString folder = lookIn;
    folder.remove(QRegularExpression(QStringLiteral("^\\s+")));
    options.folder = CFileFinder::normalisedFolder(folder.isEmpty() ? settingskeys::defaultLastFolder()
                                                                    : QDir::fromNativeSeparators(folder));
    if (pattern.contains(u';')) {
        options.extensions = extensionsOf(pattern);
    } else {
        options.mask = pattern.isEmpty() ? QStringLiteral("*.*") : pattern;
        // A typed name keeps to the chosen type's extensions.
        if (!name.isEmpty())
            options.extensions = extensionsOf(typePattern);
    }
    return options;
}

void CFileSearchDlg::searchOrStop()
{
    if (m_finder.isSearching()) {
        m_finder.StopSearch();
        return;
    }
    m_results->clear();
    m_folderLine->clear();
    m_searchButton->setText(tr("Stop"));
    m_finder.FindFiles(searchOptions(m_name->text(), m_typePattern, m_lookIn->text()));
    showCount();
}

void CFileSearchDlg::addRows(int first, int count)
{
    QList<QTreeWidgetItem*> rows;
    rows.reserve(count);
    for (int index = first; index < first + count; ++index) {
        const CFileFinder::Found& found = m_finder.GetFilePath(index);
        auto* row = new QTreeWidgetItem;
        const qsizetype nameStart = found.path.lastIndexOf(u'/') + 1;
        const QString name = found.path.mid(nameStart);
        QString typeText;
        const int icon = m_shellList.iconIndexAndType(found.path.left(nameStart), name, typeText, false, {});
        row->setIcon(kName, m_shellList.icon(icon));
        row->setText(kName, name);
        row->setText(kSize, fileitem::sizeText(found.size));
        row->setTextAlignment(kSize, Qt::AlignRight | Qt::AlignVCenter);
        row->setText(kType, typeText);
        row->setText(kDate, fileitem::dateText(found.modified));
        row->setText(kFullPath, QDir::toNativeSeparators(found.path));
        row->setData(kName, Qt::UserRole, found.path);
        rows << row;
    }
    m_results->addTopLevelItems(rows);
    showCount();
}

void CFileSearchDlg::showCount()
{
    m_countLine->setText(tr("Found (%1) items").arg(m_finder.GetFindCount()));
}

void CFileSearchDlg::chooseFolder()
{
    CDirDialog chooser(this);
    chooser.setWindowTitle(tr("Look in"));
    const QString current = m_lookIn->text().trimmed();
    chooser.setFolderToSelect(current.isEmpty() ? settingskeys::defaultLastFolder() : current);
    if (chooser.DoBrowse())
        m_lookIn->setText(QDir::toNativeSeparators(chooser.chosenFolder()));
}

void CFileSearchDlg::previewCurrent(QTreeWidgetItem* item)
{
    m_preview->showFile(item != nullptr ? item->data(kName, Qt::UserRole).toString() : QString());
}

void CFileSearchDlg::showInBrowser(QTreeWidgetItem* item)
{
    if (item == nullptr || parentWidget() == nullptr)
        return;
    const QString path = item->data(kName, Qt::UserRole).toString();
    appmsg::post(parentWidget(), appmsg::kSelectFolder, path, appmsg::kFolderOfFile);
    appmsg::post(parentWidget(), appmsg::kSelectPicture, path);
}

void CFileSearchDlg::reject()
{
    m_finder.StopSearch();
    QDialog::reject();
}
