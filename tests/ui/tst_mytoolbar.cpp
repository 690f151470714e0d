#include <functional>
#include <memory>

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "core/commands.h"
#include "settings/csettingsstore.h"
#include "settings/settingskeys.h"
#include "ui/ccustomizetoolbardlg.h"
#include "ui/cmyrebar.h"
#include "ui/cmytoolbar.h"
#include "ui/ctoolmenu.h"
#include "whenopen.h"

namespace {

// Answers every customisation dialog that opens with `answer`, once it shows.
class DialogAnswer : public QObject {
public:
    explicit DialogAnswer(std::function<void(QDialog*)> answer) : m_answer(std::move(answer))
    {
        qApp->installEventFilter(this);
    }
    int opened = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (auto* dialog = qobject_cast<CCustomizeToolBarDlg*>(watched); dialog && event->type() == QEvent::Show) {
            ++opened;
            QMetaObject::invokeMethod(dialog, [this, dialog] { m_answer(dialog); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    std::function<void(QDialog*)> m_answer;
};

void closeDialog(QDialog* dialog)
{
    dialog->accept();
}

} // namespace

class TestMyToolBar : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { cmd::useIconTheme(); }
    void init();
    void cleanup();
    void movedButtonKeepsItsLabel_data();
    void movedButtonKeepsItsLabel();
    void storedArrangement_data();
    void storedArrangement();
    void chevronListsTheHiddenButtons_data();
    void chevronListsTheHiddenButtons();
    void doubleClickCustomizes_data();
    void doubleClickCustomizes();
    void rightButtonOffersTheBarMenu_data();
    void rightButtonOffersTheBarMenu();

private:
    // A bar of `mode` in the band of a new rebar, as the frames hold it.
    CMyToolBar* makeBar(CMyToolBar::Mode mode);
    // The labels of the bar's buttons, left to right; "|" for a separator.
    static QStringList labels(const CMyToolBar& bar);

    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<CMyRebar> m_rebar;
    std::unique_ptr<CCommandTarget> m_target;
    std::unique_ptr<CCommandActions> m_actions;
    QList<int> m_ran;
};

void TestMyToolBar::init()
{
    m_window = std::make_unique<QWidget>();
    m_target = std::make_unique<CCommandTarget>();
    m_ran.clear();
    // Every command of both layouts runs, except Encrypt and Properties, which are disabled.
    for (CMyToolBar::Mode mode : {CMyToolBar::kBrowser, CMyToolBar::kViewer}) {
        for (const CMyToolBar::Entry& entry : CMyToolBar::initialLayout(mode)) {
            const int id = entry.id;
            const bool enabled = id != cmd::kEncryptDecrypt && id != cmd::kProperties;
            m_target->on(id, [this, id] { m_ran << id; }, [enabled] { return enabled; });
        }
    }
    for (int id : {cmd::kToolbar, cmd::kViewerToolbar})
        m_target->on(id, [this, id] { m_ran << id; });
    m_actions = std::make_unique<CCommandActions>(m_window.get(), m_target.get());
}

void TestMyToolBar::cleanup()
{
    m_rebar.reset();
    m_actions.reset();
    m_target.reset();
    m_window.reset();
    CSettingsStore::WriteProfileBinary(settingskeys::kToolBarState, settingskeys::kBrowserToolBar, {});
    CSettingsStore::WriteProfileBinary(settingskeys::kToolBarState, settingskeys::kViewerToolBar, {});
}

CMyToolBar* TestMyToolBar::makeBar(CMyToolBar::Mode mode)
{
    m_rebar = std::make_unique<CMyRebar>(QStringLiteral("Toolbar"));
    auto* bar = new CMyToolBar(mode, *m_actions);
    m_rebar->addBand(bar);
    return bar;
}

QStringList TestMyToolBar::labels(const CMyToolBar& bar)
{
    QStringList texts;
    for (QAction* action : bar.actions()) {
        const auto* button = qobject_cast<QToolButton*>(bar.widgetForAction(action));
        texts << (action->isSeparator() ? QStringLiteral("|") : button ? button->text() : QStringLiteral("?"));
    }
    return texts;
}

void TestMyToolBar::movedButtonKeepsItsLabel_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("toEnd");

    QTest::newRow("browser Delete to the end") << int(CMyToolBar::kBrowser) << "Delete" << true;
    QTest::newRow("browser Open to the end") << int(CMyToolBar::kBrowser) << "Open" << true;
    QTest::newRow("browser Erase for good to the start") << int(CMyToolBar::kBrowser) << "Erase for good" << false;
    QTest::newRow("viewer Delete File to the end") << int(CMyToolBar::kViewer) << "Delete File" << true;
    QTest::newRow("viewer Help to the start") << int(CMyToolBar::kViewer) << "Help" << false;
}

void TestMyToolBar::movedButtonKeepsItsLabel()
{
    QFETCH(int, mode);
    QFETCH(QString, label);
    QFETCH(bool, toEnd);

    CMyToolBar* bar = makeBar(CMyToolBar::Mode(mode));
    QStringList expected = labels(*bar);
    QVERIFY(expected.contains(label));
    expected.removeOne(label);
    toEnd ? expected.append(label) : expected.prepend(label);

    // In the dialog: choose the button in the bar's list and move it step by step.
    DialogAnswer answer([&](QDialog* dialog) {
        auto* current = dialog->findChild<QListWidget*>(QStringLiteral("current"));
        current->setCurrentItem(current->findItems(label, Qt::MatchExactly).value(0));
        const QString move = toEnd ? QStringLiteral("Move &Down") : QStringLiteral("Move &Up");
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
            if (button->text() != move)
                continue;
            while (button->isEnabled())
                button->click();
        }
        dialog->accept();
    });
    bar->customize();
    QCOMPARE(answer.opened, 1);
    QCOMPARE(labels(*bar), expected);

    // The next start shows the same order.
    QCOMPARE(labels(*makeBar(CMyToolBar::Mode(mode))), expected);
}

void TestMyToolBar::storedArrangement_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QStringList>("expected"); // empty: the initial layout

    QTest::newRow("none") << QByteArray() << QStringList();
    QTest::newRow("three buttons") << QByteArray("14,-1,0") << QStringList{"Rename", "|", "Open"};
    QTest::newRow("not numbers") << QByteArray("x,y") << QStringList();
    QTest::newRow("a button twice") << QByteArray("0,0") << QStringList();
    QTest::newRow("past the layout") << QByteArray("0,27") << QStringList();
    QTest::newRow("below a separator") << QByteArray("-2") << QStringList();
}

void TestMyToolBar::storedArrangement()
{
    QFETCH(QByteArray, stored);
    QFETCH(QStringList, expected);

    const QStringList initial = labels(*makeBar(CMyToolBar::kBrowser));
    CSettingsStore::WriteProfileBinary(settingskeys::kToolBarState, settingskeys::kBrowserToolBar, stored);
    QCOMPARE(labels(*makeBar(CMyToolBar::kBrowser)), expected.isEmpty() ? initial : expected);
}

void TestMyToolBar::chevronListsTheHiddenButtons_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("hidden");
    QTest::addColumn<QStringList>("items"); // tooltips; "-" a separator, "(grey)" a disabled item

    QTest::newRow("browser, last four") << int(CMyToolBar::kBrowser) << 4
                                        << QStringList{"Web Page", "Send e-mail", "(grey) Encrypt/Decrypt",
                                                       "Erase for good"};
    QTest::newRow("browser, last five") << int(CMyToolBar::kBrowser) << 5
                                        << QStringList{"Slide Show", "-", "Web Page", "Send e-mail",
                                                       "(grey) Encrypt/Decrypt", "Erase for good"};
    QTest::newRow("browser, last eight")
        << int(CMyToolBar::kBrowser) << 8
        << QStringList{"Details View", "-",           "Refresh",   "-", "Options", "Slide Show", "-", "Web Page",
                       "Send e-mail",  "(grey) Encrypt/Decrypt", "Erase for good"};
    QTest::newRow("viewer, last three") << int(CMyToolBar::kViewer) << 3
                                        << QStringList{"(grey) Properties", "Exit", "Contents"};
}

void TestMyToolBar::chevronListsTheHiddenButtons()
{
    QFETCH(int, mode);
    QFETCH(int, hidden);
    QFETCH(QStringList, items);

    CMyToolBar* bar = makeBar(CMyToolBar::Mode(mode));
    const int full = m_rebar->sizeHint().width();
    m_rebar->resize(full, m_rebar->sizeHint().height());
    m_rebar->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_rebar.get()));
    const auto hiddenButtons = [bar] {
        int count = 0;
        for (QAction* action : bar->hiddenEntries())
            count += action->isSeparator() ? 0 : 1;
        return count;
    };
    QCOMPARE(hiddenButtons(), 0);
    // Narrows the row until exactly that many buttons no longer fit.
    for (int width = full; width > 0 && hiddenButtons() < hidden; --width)
        m_rebar->resize(width, m_rebar->height());
    QCOMPARE(hiddenButtons(), hidden);

    auto* chevron = bar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"));
    QVERIFY(chevron && chevron->isVisible());
    QTest::mousePress(chevron, Qt::LeftButton);
    CToolMenu* menu = bar->toolMenu();
    QTRY_VERIFY(menu->isVisible());
    QStringList shown;
    for (const QAction* item : menu->actions()) {
        QVERIFY(item->isSeparator() || !item->icon().isNull());
        shown << (item->isSeparator() ? QStringLiteral("-")
                                      : (item->isEnabled() ? QString() : QStringLiteral("(grey) ")) + item->text());
    }
    QCOMPARE(shown, items);

    // The chosen item's command goes to the window: the last item is the layout's last button.
    menu->actions().constLast()->trigger();
    QCOMPARE(m_ran, QList<int>{CMyToolBar::initialLayout(CMyToolBar::Mode(mode)).back().id});
    menu->close();
}

void TestMyToolBar::doubleClickCustomizes_data()
{
    QTest::addColumn<int>("offset"); // from the right edge of the last button; 0: on the first button
    QTest::addColumn<bool>("opens");

    QTest::newRow("on a button") << 0 << false;
    QTest::newRow("one pixel right of the last button") << 1 << false;
    QTest::newRow("two pixels right of the last button") << 2 << true;
    QTest::newRow("well right of the last button") << 40 << true;
}

void TestMyToolBar::doubleClickCustomizes()
{
    QFETCH(int, offset);
    QFETCH(bool, opens);

    CMyToolBar* bar = makeBar(CMyToolBar::kViewer);
    m_rebar->resize(m_rebar->sizeHint().width() + 80, m_rebar->sizeHint().height());
    m_rebar->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_rebar.get()));
    DialogAnswer answer(closeDialog);
    const QList<QAction*> entries = bar->actions();
    QWidget* first = bar->widgetForAction(entries.constFirst());
    const QRect last = bar->widgetForAction(entries.constLast())->geometry();
    if (offset == 0)
        QTest::mouseDClick(first, Qt::LeftButton, {}, first->rect().center());
    else
        QTest::mouseDClick(bar, Qt::LeftButton, {}, QPoint(last.right() + offset, last.center().y()));
    QCOMPARE(answer.opened, opens ? 1 : 0);
}

void TestMyToolBar::rightButtonOffersTheBarMenu_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("command"); // the button released on; 0: the empty part
    QTest::addColumn<int>("hide");    // what "&Hide ToolBar" sends

    QTest::newRow("browser, a button") << int(CMyToolBar::kBrowser) << int(cmd::kOpen) << int(cmd::kToolbar);
    QTest::newRow("browser, a disabled button") << int(CMyToolBar::kBrowser) << int(cmd::kProperties)
                                                << int(cmd::kToolbar);
    QTest::newRow("viewer, the empty part") << int(CMyToolBar::kViewer) << 0 << int(cmd::kViewerToolbar);
}

void TestMyToolBar::rightButtonOffersTheBarMenu()
{
    QFETCH(int, mode);
    QFETCH(int, command);
    QFETCH(int, hide);

    CMyToolBar* bar = makeBar(CMyToolBar::Mode(mode));
    m_rebar->resize(m_rebar->sizeHint().width() + 80, m_rebar->sizeHint().height());
    m_rebar->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_rebar.get()));
    QStringList offered;
    whenOpen(&QApplication::activePopupWidget, [&offered](QWidget* popup) {
        auto* menu = static_cast<QMenu*>(popup);
        for (const QAction* item : menu->actions())
            offered << (item == menu->defaultAction() ? QStringLiteral("*") : QString()) + item->text();
        menu->setActiveAction(menu->actions().constLast());
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QWidget* target = command ? bar->widgetForAction(m_actions->action(command)) : bar;
    const QPoint at = command ? target->rect().center() : QPoint(bar->width() - 10, bar->height() / 2);
    QTest::mouseRelease(target, Qt::RightButton, {}, at);
    QCOMPARE(offered, (QStringList{"Change &background...", "*&Customize...", QString(), "&Hide ToolBar"}));
    QCOMPARE(m_ran, QList<int>{hide});
}

QTEST_MAIN(TestMyToolBar)
#include "tst_mytoolbar.moc"
