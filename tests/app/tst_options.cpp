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
    void delayAndSlider_data();
    void delayAndSlider();
    void sequence_data();
    void sequence();
    void browserControlsCarryTheirFields_data();
    void browserControlsCarryTheirFields();
    void browserTakesTheOptionsAfterTheDialog_data();
    void browserTakesTheOptionsAfterTheDialog();
    void viewerOpensTheSameDialog();

private:
    RecordingHost m_host;
    CCommandTarget m_app;
};

void TestOptions::delayAndSlider_data()
{
    QTest::addColumn<QString>("typed");   // into the delay box, unless the slider is moved
    QTest::addColumn<int>("moved");       // the slider's position the user moves to, or -1
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("shown");   // the delay box's text then
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("timer");   // stored on OK
    QTest::newRow("2000") << "2000" << -1 << 2 << "2000" << "1 sec." << "2000";
    QTest::newRow("499") << "499" << -1 << 0 << "499" << "No delay" << "499";
    QTest::newRow("500") << "500" << -1 << 1 << "500" << "0,5 sec." << "500";
    QTest::newRow("89999") << "89999" << -1 << 9 << "89999" << "1 min." << "89999";
    QTest::newRow("above one hour") << "99999999" << -1 << 19 << "99999999" << "1 hour" << "3600000";
    QTest::newRow("beyond 32 bits") << "99999999999" << -1 << 19 << "99999999999" << "1 hour" << "3600000";
    QTest::newRow("not a number") << "12s" << -1 << 0 << "12s" << "No delay" << "12s";
    QTest::newRow("slider to 10") << "" << 10 << 10 << "90000" << "1,5 min." << "90000";
    QTest::newRow("slider to 0") << "" << 0 << 0 << "0" << "No delay" << "0";
}

void TestOptions::delayAndSlider()
{
    QFETCH(QString, typed);
    QFETCH(int, moved);
    QFETCH(int, position);
    QFETCH(QString, shown);
    QFETCH(QString, name);
    QFETCH(QString, timer);
    m_host.options.Timer = QStringLiteral("30000");
    COptionsMainDlg dialog(m_host.options, [] {});
    auto* delay = dialog.findChild<QLineEdit*>(QStringLiteral("delay"));
    auto* slider = dialog.findChild<QSlider*>();
    QCOMPARE(slider->value(), 7);
    if (moved >= 0) {
        slider->setValue(moved);
    } else {
        delay->selectAll();
        QTest::keyClicks(delay, typed);
    }
    QCOMPARE(slider->value(), position);
    QCOMPARE(delay->text(), shown);
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("delayName"))->text(), name);
    dialog.accept();
    QCOMPARE(CSettingsStore::GetProfileString(settingskeys::kSlideShow, QStringLiteral("Timer")), timer);
}

void TestOptions::sequence_data()
{
    QTest::addColumn<int>("select");
    QTest::addColumn<QString>("clicked"); // a radio the user clicks, or none
    QTest::addColumn<QString>("checked"); // the radio checked then, or none
    QTest::addColumn<int>("stored");
    QTest::newRow("reverse") << 1 << "" << "Reverse" << 1;
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
    QTest::newRow("keep thumbnails") << "Keep thumbnails for other programs and later visits" << "KeepThumbnails" << 1
                                     << true << 0;
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
    QCOMPARE(CSettingsStore::GetProfileInt(settingskeys::kBrowser, field, -1), after);
    QCOMPARE(applied, ok ? 1 : 0);
}

void TestOptions::browserTakesTheOptionsAfterTheDialog_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("hideBefore"); // HidePreview, which the user's click turns round
    QTest::addColumn<bool>("shownBefore");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("display"); // full-row selection and grid lines after the dialog
    QTest::addColumn<bool>("shownAfter");
    const int thumbnails = cmd::kViewThumbnails;
    const int details = cmd::kViewDetails;
    // Shown with both display options on; another window stores both off while the dialog is open.
    QTest::newRow("cancel: display as stored") << thumbnails << 0 << true << false << false << true;
    QTest::newRow("ok: display as the dialog stored") << details << 0 << true << true << true << true;
    QTest::newRow("hide turned on in thumbnails") << thumbnails << 0 << true << true << true << false;
    QTest::newRow("hide turned off in thumbnails") << thumbnails << 1 << false << true << true << true;
    QTest::newRow("hide turned off in details") << details << 1 << false << true << true << false;
}

void TestOptions::browserTakesTheOptionsAfterTheDialog()
{
    QFETCH(int, mode);
    QFETCH(int, hideBefore);
    QFETCH(bool, shownBefore);
    QFETCH(bool, ok);
    QFETCH(bool, display);
    QFETCH(bool, shownAfter);
    storeDisplay(1, 1);
    CSettingsStore::WriteProfileInt(settingskeys::kHidePreview, hideBefore);
    m_host.options.LoadSettings();
    CMainFrame frame(m_host, m_host.options, &m_app);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QVERIFY(frame.commands().execute(mode));
    frame.previewBar()->setVisible(shownBefore);
    // A View menu toggle that the record does not know yet stays as the user set it.
    const bool hidden = frame.commands().action(cmd::kShowHiddenFiles)->isChecked();
    QVERIFY(frame.commands().execute(cmd::kShowHiddenFiles));
    DialogAnswers answers({[ok](QDialog* dialog) {
        storeDisplay(0, 0);
        button(dialog, QStringLiteral("Hide preview in thumbnails mode"))->click();
        ok ? dialog->accept() : dialog->reject();
    }});
    QVERIFY(frame.commands().execute(cmd::kOptions));
    QCOMPARE(answers.shown, QStringList{"Options"});
    QCOMPARE(frame.fileList()->fullRowSelect(), display);
    QCOMPARE(frame.fileList()->reportView()->showGrid(), display);
    QCOMPARE(!frame.previewBar()->isHidden(), shownAfter);
    QCOMPARE(frame.commands().action(cmd::kShowHiddenFiles)->isChecked(), !hidden);
}

void TestOptions::viewerOpensTheSameDialog()
{
    CGlobalApp app;
    QVERIFY(app.InitInstance({}));
    CCommandActions& commands = app.viewerFrame()->commands();
    commands.update();
    QVERIFY(commands.action(cmd::kOptions)->isEnabled());
    DialogAnswers answers({[](QDialog* dialog) {
        button(dialog, QStringLiteral("Random"))->click();
        dialog->accept();
    }});
    QVERIFY(commands.execute(cmd::kOptions));
    QCOMPARE(answers.shown, QStringList{"Options"});
    QCOMPARE(CSettingsStore::GetProfileInt(settingskeys::kSelect), 2);
}

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
