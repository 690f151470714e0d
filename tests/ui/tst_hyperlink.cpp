#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "platform/desktopservices.h"
#include "requiredtool.h"
#include "ui/chyperlink.h"
#include "whenopen.h"

namespace {

const QString kAddress = QStringLiteral("https://zelt.example/a b?x=1&y=2");
const QString kSentAddress = QStringLiteral("https://zelt.example/a%20b?x=1&y=2");

bool writeFile(const QString& path, const QByteArray& bytes, bool executable = false)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return !executable || file.setPermissions(file.permissions() | QFile::ExeOwner);
}

QStringList lines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

// The desktop's opener and the default web browser are stand-ins in a temporary folder that
// write down what they were asked to open; the registration of the browser and the query for it
// are the desktop's real ones (a desktop entry, mimeapps.list, xdg-mime).
class TestHyperLink : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void failureTexts_data();
    void failureTexts();
    void opening_data();
    void opening();
    void commandLines_data();
    void commandLines();
    void look_data();
    void look();

private:
    void setOpenerStatus(int status);
    void registerBrowser(const QString& exec);
    // What the stand-in browser was started with; empty: it was not started.
    void checkBrowserGot(const QStringList& expected);

    QTemporaryDir m_folder;
    QString m_tools;
};

void TestHyperLink::initTestCase()
{
    QVERIFY2(hasTool("xdg-mime"), missingTool("xdg-mime", "xdg-utils").constData());
    QVERIFY(m_folder.isValid());
    m_tools = m_folder.filePath(QStringLiteral("bin"));
    // No browser the system registers answers for ours.
    const QString empty = m_folder.filePath(QStringLiteral("system"));
    QVERIFY(QDir().mkpath(m_tools) && QDir().mkpath(empty));
    qputenv("XDG_DATA_DIRS", empty.toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", empty.toLocal8Bit());
    qputenv("PATH", (m_tools + u':').toLocal8Bit() + qgetenv("PATH"));
    QVERIFY(QDir().mkpath(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/applications")));
    QVERIFY(writeFile(m_folder.filePath(QStringLiteral("browser")),
                      "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.part\" && mv \"$0.part\" \"$0.args\"\n", true));
}

void TestHyperLink::init()
{
    for (const QString& record : {QStringLiteral("browser.args"), QStringLiteral("bin/xdg-open.args")})
        QFile::remove(m_folder.filePath(record));
    QFile::remove(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/mimeapps.list"));
}

void TestHyperLink::setOpenerStatus(int status)
{
    const QByteArray script =
        "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\nexit " + QByteArray::number(status) + '\n';
    QVERIFY(writeFile(m_tools + QStringLiteral("/xdg-open"), script, true));
}

void TestHyperLink::registerBrowser(const QString& exec)
{
    if (exec.isEmpty())
        return;
    const QString entry = QStringLiteral("[Desktop Entry]\nType=Application\nName=Test Browser\nExec=%1\n")
                              .arg(QString(exec).replace(QStringLiteral("{dir}"), m_folder.path()));
    QVERIFY(writeFile(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/applications/zp-browser.desktop"),
                      entry.toUtf8()));
    QVERIFY(writeFile(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/mimeapps.list"),
                      "[Default Applications]\ntext/html=zp-browser.desktop\n"));
}

void TestHyperLink::checkBrowserGot(const QStringList& expected)
{
    const QString record = m_folder.filePath(QStringLiteral("browser.args"));
    if (expected.isEmpty())
        QVERIFY(!QFile::exists(record));
    else
        QTRY_COMPARE(lines(record), expected);
}

void TestHyperLink::failureTexts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("sharing violation") << 26
                                       << QStringLiteral("Unable to open hyperlink:\n\nA sharing violation occurred. ");
    QTest::newRow("a code of no meaning")
        << 40 << QStringLiteral("Unable to open hyperlink:\n\nUnknown Error (40) occurred.");
    QTest::newRow("out of resources is code 0")
        << 0 << QStringLiteral("Unable to open hyperlink:\n\nThe operating system is out\nof memory or resources.");
    QTest::newRow("no program") << 31
                                << QStringLiteral("Unable to open hyperlink:\n\nThere is no application associated\n"
                                                  "with the given filename extension.");
}

void TestHyperLink::failureTexts()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(CHyperLink::failureText(code), text);
}

void TestHyperLink::opening_data()
{
    QTest::addColumn<QString>("exec");
    QTest::addColumn<int>("openerStatus");
    QTest::addColumn<QStringList>("browserGot");
    QTest::addColumn<int>("failure");
    const QStringList none;
    QTest::newRow("the desktop opens it") << "{dir}/browser %u" << 0 << none << -1;
    QTest::newRow("the browser takes over, the address one argument")
        << "{dir}/browser --new-window %u --extra" << 4 << QStringList{"--new-window", kAddress} << -1;
    QTest::newRow("a quoted field code is cut with its quotes")
        << "{dir}/browser --icon %i \"%U\" %%" << 3 << QStringList{"--icon", kAddress} << -1;
    QTest::newRow("no program and no browser") << "" << 3 << none << 31;
    QTest::newRow("the program failed, no browser") << "" << 4 << none << 27;
    QTest::newRow("not readable, no browser") << "" << 5 << none << 5;
}

void TestHyperLink::opening()
{
    QFETCH(QString, exec);
    QFETCH(int, openerStatus);
    QFETCH(QStringList, browserGot);
    QFETCH(int, failure);
    setOpenerStatus(openerStatus);
    registerBrowser(exec);

    QObject owner;
    int failed = -1;
    QCOMPARE(CHyperLink::Open(kAddress, &owner, [&failed](int code) { failed = code; }), platform::opencode::kStarted);
    // The opener has ended once its process is gone, and with it any fallback has run.
    QTRY_VERIFY(owner.findChildren<QProcess*>().isEmpty());
    QCOMPARE(lines(m_tools + QStringLiteral("/xdg-open.args")), QStringList{kSentAddress});
    QCOMPARE(failed, failure);
    checkBrowserGot(browserGot);
}

void TestHyperLink::commandLines_data()
{
    QTest::addColumn<QString>("exec");
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("browserGot");
    QTest::newRow("no field code: the address follows") << "{dir}/browser" << 33 << QStringList{kAddress};
    QTest::newRow("a percent sign stays one")
        << "{dir}/browser --title=100%% %u" << 33 << QStringList{"--title=100%", kAddress};
    QTest::newRow("the program has gone") << "{dir}/gone/browser %u" << 2 << QStringList();
    QTest::newRow("the program is not on the path") << "zp-no-such-browser %u" << 2 << QStringList();
    QTest::newRow("nothing before the field code") << "%u" << 2 << QStringList();
}

void TestHyperLink::commandLines()
{
    QFETCH(QString, exec);
    QFETCH(int, result);
    QFETCH(QStringList, browserGot);
    QCOMPARE(platform::startCommandLine(exec.replace(QStringLiteral("{dir}"), m_folder.path()), kAddress), result);
    checkBrowserGot(browserGot);
}

void TestHyperLink::look_data()
{
    QTest::addColumn<int>("underline");
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("underlined");
    QTest::addColumn<QRgb>("colour");
    const int whileHovering = int(CHyperLink::Underline::WhileHovering);
    QTest::newRow("at rest") << whileHovering << "" << false << CHyperLink::kLinkColour;
    QTest::newRow("hovered") << whileHovering << "hover" << true << CHyperLink::kHoverColour;
    QTest::newRow("the mouse left") << whileHovering << "hover leave" << false << CHyperLink::kLinkColour;
    QTest::newRow("always underlined, the mouse left")
        << int(CHyperLink::Underline::Always) << "hover leave" << true << CHyperLink::kLinkColour;
    QTest::newRow("never underlined, hovered")
        << int(CHyperLink::Underline::Never) << "hover" << false << CHyperLink::kHoverColour;
    QTest::newRow("opened") << whileHovering << "click leave" << false << CHyperLink::kVisitedColour;
    QTest::newRow("failed to open") << whileHovering << "fail leave" << false << CHyperLink::kLinkColour;
}

void TestHyperLink::look()
{
    QFETCH(int, underline);
    QFETCH(QString, action);
    QFETCH(bool, underlined);
    QFETCH(QRgb, colour);
    QWidget window;
    window.resize(300, 100);
    auto* link = new CHyperLink(QStringLiteral("Zelt Pixoria"), kAddress, &window);
    link->move(20, 20);
    link->SetUnderline(CHyperLink::Underline(underline));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(link->toolTip(), kAddress);
    QCOMPARE(link->size(), link->sizeHint());

    const QPoint inside = link->rect().center();
    if (action.contains(QLatin1String("hover"))) {
        QCursor::setPos(link->mapToGlobal(inside));
        QEnterEvent enter(inside, link->mapTo(&window, inside), link->mapToGlobal(inside));
        QApplication::sendEvent(link, &enter);
        QVERIFY(link->isHovering());
    }
    QString said;
    if (action.contains(QLatin1String("click")) || action.contains(QLatin1String("fail"))) {
        const bool fails = action.contains(QLatin1String("fail"));
        setOpenerStatus(fails ? 3 : 0);
        if (fails) {
            whenModal([&said](QWidget* box) {
                said = static_cast<QMessageBox*>(box)->text();
                static_cast<QMessageBox*>(box)->accept();
            });
        }
        QTest::mouseClick(link, Qt::LeftButton, {}, inside);
        if (fails)
            QTRY_COMPARE(said, CHyperLink::failureText(platform::opencode::kNoAssociation));
    }
    if (action.contains(QLatin1String("leave"))) {
        QCursor::setPos(window.mapToGlobal(QPoint(290, 90)));
        QTRY_VERIFY(!link->isHovering());
    }
    QCOMPARE(link->font().underline(), underlined);
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(colour));
    QCOMPARE(link->textColour(), QColor(colour));
}

QTEST_MAIN(TestHyperLink)
#include "tst_hyperlink.moc"
