#include <memory>

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QMenu>
#include <QTest>

#include "app/cmainframe.h"
#include "core/commands.h"
#include "recordinghost.h"
#include "requiredtool.h"
#include "ui/cmytoolbar.h"
#include "viewer/cviewframe.h"

namespace {

// What is wrong with an action's icon at `size`; empty when it is the theme's at that size.
QString iconFault(const QAction* action, int size)
{
    const QIcon icon = action->icon();
    if (icon.isNull())
        return action->text() + QStringLiteral(": no icon");
    if (!QIcon::hasThemeIcon(icon.name()))
        return action->text() + QStringLiteral(": not a theme icon");
    if (!icon.availableSizes().contains(QSize(size, size)))
        return action->text() + QStringLiteral(": no %1 px image of %2").arg(size).arg(icon.name());
    return {};
}

} // namespace

class TestCommandIcons : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyCommandHasAnIconOfTheTheme_data();
    void everyCommandHasAnIconOfTheTheme();

private:
    RecordingHost m_host;
    CCommandTarget m_app;
};

void TestCommandIcons::initTestCase()
{
    cmd::useIconTheme();
    QCOMPARE(QIcon::themeName(), QString::fromLatin1(cmd::kIconTheme));
    bool installed = false;
    for (const QString& folder : QIcon::themeSearchPaths())
        installed = installed || QFileInfo::exists(folder + u'/' + QIcon::themeName() + QStringLiteral("/index.theme"));
    QVERIFY2(installed, missingTool("The icon theme", "oxygen-icon-theme").constData());
}

void TestCommandIcons::everyCommandHasAnIconOfTheTheme_data()
{
    QTest::addColumn<bool>("browser");
    QTest::newRow("browser") << true;
    QTest::newRow("viewer") << false;
}

void TestCommandIcons::everyCommandHasAnIconOfTheTheme()
{
    QFETCH(bool, browser);

    std::unique_ptr<QWidget> frame;
    if (browser)
        frame = std::make_unique<CMainFrame>(m_host, m_host.options, &m_app);
    else
        frame = std::make_unique<CViewFrame>(m_host, m_host.options, &m_app);
    QStringList faults;
    int checked = 0;
    // Menus show small icons, the toolbar large ones. A toggle or a choice shows its check or radio
    // mark instead.
    for (const QMenu* menu : frame->findChildren<QMenu*>()) {
        for (const QAction* action : menu->actions()) {
            if (action->isSeparator() || action->menu() || action->isCheckable())
                continue;
            faults << iconFault(action, 16);
            ++checked;
        }
    }
    const auto* toolBar = frame->findChild<CMyToolBar*>();
    QVERIFY(toolBar);
    for (const QAction* action : toolBar->actions()) {
        if (!action->isSeparator()) {
            faults << iconFault(action, 32);
            ++checked;
        }
    }
    faults.removeAll(QString());
    QCOMPARE(faults, QStringList());
    QVERIFY(checked > 50);
}

QTEST_MAIN(TestCommandIcons)
#include "tst_commandicons.moc"
