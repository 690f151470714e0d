#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTableView>
#include <QTest>

#include "app/cglobalapp.h"
#include "app/cmainframe.h"
#include "app/coptionsmaindlg.h"
#include "browser/cfilelistctrl.h"
#include "browser/cpreviewbar.h"
#include "settings/csettingsstore.h"
#include "settings/settingskeys.h"
#include "viewer/cviewframe.h"

#include "dialoganswers.h"
#include "recordinghost.h"

namespace {

QAbstractButton* button(QWidget* dialog, const QString& text)
{
    for (QAbstractButton* candidate : dialog->findChildren<QAbstractButton*>()) {
        if (candidate->text() == text)
            return candidate;
    }
    return nullptr;
}

int stored(const QString& name)
{
    return CSettingsStore::GetProfileInt(settingskeys::kBrowser, name, -1);
}

// Options as another window of the program stores them.
void storeDisplay(int fullRow, int gridLines)
{
    CSettingsStore::WriteProfileInt(settingskeys::kFullRow, fullRow);
    CSettingsStore::WriteProfileInt(settingskeys::kGridLines, gridLines);
}

} // namespace

class TestOptions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void delayTypedMovesTheSlider_data();
    void delayTypedMovesTheSlider();
    void sliderFillsTheDelay_data();
    void sliderFillsTheDelay();
    void sequence_data();
    void sequence();
    void browserControlsCarryTheirFields_data();
    void browserControlsCarryTheirFields();
    void afterTheDialogTheListShowsTheStoredDisplay_data();
    void afterTheDialogTheListShowsTheStoredDisplay();
    void hidePreviewInThumbnails_data();
    void hidePreviewInThumbnails();
    void bothFramesOpenTheDialog_data();
    void bothFramesOpenTheDialog();

private:
    RecordingHost m_host;
    CCommandTarget m_app;
};

void TestOptions::delayTypedMovesTheSlider_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("timer"); // stored on OK
    QTest::newRow("2000") << "2000" << 2 << "1 sec." << "2000";
    QTest::newRow("499") << "499" << 0 << "No delay" << "499";
    QTest::newRow("500") << "500" << 1 << "0,5 sec." << "500";
    QTest::newRow("89999") << "89999" << 9 << "1 min." << "89999";
    QTest::newRow("one hour") << "3600000" << 19 << "1 hour" << "3600000";
    QTest::newRow("above one hour") << "99999999" << 19 << "1 hour" << "3600000";
    QTest::newRow("beyond 32 bits") << "99999999999" << 19 << "1 hour" << "3600000";
    QTest::newRow("not a number") << "soon" << 0 << "No delay" << "soon";
    QTest::newRow("digits and more") << "12s" << 0 << "No delay" << "12s";
}

void TestOptions::delayTypedMovesTheSlider()
{
    QFETCH(QString, typed);
    QFETCH(int, position);
    QFETCH(QString, name);
    QFETCH(QString, timer);
    m_host.options.Timer = QStringLiteral("30000");
    COptionsMainDlg dialog(m_host.options, [] {});
    auto* delay = dialog.findChild<QLineEdit*>(QStringLiteral("delay"));
    delay->selectAll();
    QTest::keyClicks(delay, typed);
    QCOMPARE(dialog.findChild<QSlider*>()->value(), position);
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("delayName"))->text(), name);
    dialog.accept();
    QCOMPARE(m_host.options.Timer, timer);
    QCOMPARE(CSettingsStore::GetProfileString(settingskeys::kSlideShow, QStringLiteral("Timer")), timer);
}

void TestOptions::sliderFillsTheDelay_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    QTest::newRow("10") << 10 << "90000" << "1,5 min.";
    QTest::newRow("0") << 0 << "0" << "No delay";
    QTest::newRow("19") << 19 << "3600000" << "1 hour";
}

void TestOptions::sliderFillsTheDelay()
{
    QFETCH(int, position);
    QFETCH(QString, text);
    QFETCH(QString, name);
    m_host.options.Timer = QStringLiteral("1234");
    COptionsMainDlg dialog(m_host.options, [] {});
    QCOMPARE(dialog.findChild<QSlider*>()->value(), 2);
    dialog.findChild<QSlider*>()->setValue(position);
    QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("delay"))->text(), text);
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("delayName"))->text(), name);
}

void TestOptions::sequence_data()
{
    QTest::addColumn<int>("select");
    QTest::addColumn<QString>("clicked"); // a radio the user clicks, or none
    QTest::addColumn<QString>("checked"); // the radio checked then, or none
    QTest::addColumn<int>("stored");
    QTest::newRow("forward") << 0 << "" << "Forward" << 0;
    QTest::newRow("reverse") << 1 << "" << "Reverse" << 1;
    QTest::newRow("random") << 2 << "" << "Random" << 2;
    QTest::newRow("3 checks none and stays") << 3 << "" << "" << 3;
    QTest::newRow("3, then the user chooses") << 3 << "Reverse" << "Reverse" << 1;
    QTest::newRow("forward to random") << 0 << "Random" << "Random" << 2;
}

void TestOptions::sequence()
{
    QFETCH(int, select);
    QFETCH(QString, clicked);
    QFETCH(QString, checked);
    QFETCH(int, stored);
    m_host.options.Select = select;
    COptionsMainDlg dialog(m_host.options, [] {});
    if (!clicked.isEmpty())
        button(&dialog, clicked)->click();
    for (const char* radio : {"Forward", "Reverse", "Random"})
        QCOMPARE(button(&dialog, QLatin1String(radio))->isChecked(), checked == QLatin1String(radio));
    dialog.accept();
    QCOMPARE(CSettingsStore::GetProfileInt(settingskeys::kSelect), stored);
}

void TestOptions::browserControlsCarryTheirFields_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("before");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("after");
    QTest::newRow("save size") << "Save window size" << "SavePosition" << 0 << true << 1;
    QTest::newRow("don't save size") << "Don't save size" << "SavePosition" << 1 << true << 0;
    QTest::newRow("single click") << "Single click to edit file name" << "SingleClick" << 0 << true << 1;
    QTest::newRow("double click") << "Double click to edit description" << "DoubleClick" << 1 << true << 0;
    QTest::newRow("video") << "Preview audio/video clips" << "ShowVideo" << 0 << true << 1;
    QTest::newRow("hide preview") << "Hide preview in thumbnails mode" << "HidePreview" << 0 << true << 1;
    QTest::newRow("full row") << "Full row select" << "FullRow" << 1 << true << 0;
    QTest::newRow("grid lines") << "Show gridlines" << "GridLines" << 0 << true << 1;
    QTest::newRow("headers") << "Don't scan headers of image files" << "DontScanHeaders" << 0 << true << 1;
    QTest::newRow("cancel keeps the record") << "Full row select" << "FullRow" << 0 << false << 0;
}

void TestOptions::browserControlsCarryTheirFields()
{
    QFETCH(QString, control);
    QFETCH(QString, field);
    QFETCH(int, before);
    QFETCH(bool, ok);
    QFETCH(int, after);
    CSettingsStore::WriteProfileInt(settingskeys::kBrowser, field, before);
    m_host.options.LoadSettings();
    int applied = 0;
    COptionsMainDlg dialog(m_host.options, [&applied] { ++applied; });
    QAbstractButton* shown = button(&dialog, control);
    // A radio is checked when its field says so; a check box carries its field.
    QCOMPARE(shown->isChecked(), control == QLatin1String("Don't save size") ? before == 0 : before != 0);
    shown->click();
    if (ok)
        dialog.accept();
    else
        dialog.reject();
    QCOMPARE(stored(field), after);
    QCOMPARE(applied, ok ? 1 : 0);
}

void TestOptions::afterTheDialogTheListShowsTheStoredDisplay_data()
{
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("fullRow");
    QTest::addColumn<bool>("gridLines");
    // Shown with both on; another window stores both off while the dialog is open.
    QTest::newRow("cancel: as stored") << false << false << false;
    QTest::newRow("ok: as the dialog stored") << true << true << true;
}

void TestOptions::afterTheDialogTheListShowsTheStoredDisplay()
{
    QFETCH(bool, ok);
    QFETCH(bool, fullRow);
    QFETCH(bool, gridLines);
    storeDisplay(1, 1);
    m_host.options.LoadSettings();
    CMainFrame frame(m_host, m_host.options, &m_app);
    frame.show();
    CFileListCtrl* list = frame.fileList();
    QVERIFY(list->fullRowSelect() && list->reportView()->showGrid());
    // A View menu toggle the record does not know yet stays as the user set it.
    const bool hidden = frame.commands().action(cmd::kShowHiddenFiles)->isChecked();
    QVERIFY(frame.commands().execute(cmd::kShowHiddenFiles));
    DialogAnswers answers({[ok](QDialog* dialog) {
        storeDisplay(0, 0);
        if (ok)
            dialog->accept();
        else
            dialog->reject();
    }});
    QVERIFY(frame.commands().execute(cmd::kOptions));
    QCOMPARE(answers.shown, QStringList{"Options"});
    QCOMPARE(list->fullRowSelect(), fullRow);
    QCOMPARE(list->reportView()->showGrid(), gridLines);
    QCOMPARE(frame.commands().action(cmd::kShowHiddenFiles)->isChecked(), !hidden);
}

void TestOptions::hidePreviewInThumbnails_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("shownBefore");
    QTest::addColumn<int>("hidePreview"); // as "Hide preview in thumbnails mode" is left on OK
    QTest::addColumn<bool>("shownAfter");
    QTest::newRow("turned on in thumbnails: hidden") << int(cmd::kViewThumbnails) << true << 1 << false;
    QTest::newRow("turned off in thumbnails: shown") << int(cmd::kViewThumbnails) << false << 0 << true;
    QTest::newRow("on in details: stays") << int(cmd::kViewDetails) << true << 1 << true;
    QTest::newRow("off in details: stays hidden") << int(cmd::kViewDetails) << false << 0 << false;
}

void TestOptions::hidePreviewInThumbnails()
{
    QFETCH(int, mode);
    QFETCH(bool, shownBefore);
    QFETCH(int, hidePreview);
    QFETCH(bool, shownAfter);
    m_host.options.HidePreview = 1 - hidePreview;
    CMainFrame frame(m_host, m_host.options, &m_app);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QVERIFY(frame.commands().execute(mode));
    frame.previewBar()->setVisible(shownBefore);
    DialogAnswers answers({[](QDialog* dialog) {
        button(dialog, QStringLiteral("Hide preview in thumbnails mode"))->click();
        dialog->accept();
    }});
    QVERIFY(frame.commands().execute(cmd::kOptions));
    QCOMPARE(m_host.options.HidePreview, hidePreview);
    QCOMPARE(!frame.previewBar()->isHidden(), shownAfter);
    QVERIFY(frame.commands().execute(cmd::kViewDetails));
}

void TestOptions::bothFramesOpenTheDialog_data()
{
    QTest::addColumn<bool>("viewer");
    QTest::newRow("browser") << false;
    QTest::newRow("viewer") << true;
}

void TestOptions::bothFramesOpenTheDialog()
{
    QFETCH(bool, viewer);
    CGlobalApp app;
    QVERIFY(app.InitInstance({}));
    CCommandActions& commands = viewer ? app.viewerFrame()->commands() : app.browserFrame()->commands();
    commands.update();
    QVERIFY(commands.action(cmd::kOptions)->isEnabled());
    DialogAnswers answers({[](QDialog* dialog) {
        button(dialog, QStringLiteral("Random"))->click();
        dialog->accept();
    }});
    QVERIFY(commands.execute(cmd::kOptions));
    QCOMPARE(answers.shown, QStringList{"Options"});
    QCOMPARE(app.settings().Select, 2);
    CSettingsStore::WriteProfileInt(settingskeys::kSelect, 0);
}

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
