#include <QAbstractItemView>
#include <QLineEdit>
#include <QSettings>
#include <QTest>

#include "core/messages.h"
#include "settings/csettingsstore.h"
#include "settings/settingskeys.h"
#include "ui/chistorybox.h"

namespace {

const auto& kHistory = settingskeys::kAddressHistory;

// Records the "SelectFolder" messages the box sends, as "kind path".
class FolderTarget : public QObject {
public:
    QStringList received;

protected:
    bool event(QEvent* event) override
    {
        if (const appmsg::Message* message = appmsg::as(event, appmsg::kSelectFolder)) {
            received << QString::number(message->kind) + u' ' + message->path;
            return true;
        }
        return QObject::event(event);
    }
};

void storeHistory(const QStringList& values)
{
    const CSettingsStore::Batch batch;
    for (int index = 0; index <= kHistory.count; ++index)
        CSettingsStore::RemoveProfileValue(kHistory.section, kHistory.name(index));
    for (int index = 0; index < values.size(); ++index) {
        if (!values[index].isNull())
            CSettingsStore::WriteProfileString(kHistory.section, kHistory.name(index), values[index]);
    }
}

QStringList entries(const QComboBox& box)
{
    QStringList texts;
    for (int index = 0; index < box.count(); ++index)
        texts << box.itemText(index);
    return texts;
}

// Keys as a user types them into the box: "\b" is Backspace, "\x7f" Delete, "\x02" the left arrow.
void type(QComboBox* edit, const QString& keys)
{
    for (QChar key : keys) {
        if (key == u'\b')
            QTest::keyClick(edit, Qt::Key_Backspace);
        else if (key == u'\x7f')
            QTest::keyClick(edit, Qt::Key_Delete);
        else if (key == u'\x02')
            QTest::keyClick(edit, Qt::Key_Left);
        else
            QTest::keyClicks(edit, QString(key));
    }
}

QStringList numbered(int count)
{
    QStringList names;
    for (int index = 0; index < count; ++index)
        names << QStringLiteral("/folder %1/").arg(index);
    return names;
}

} // namespace

class TestHistoryBox : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void completion_data();
    void completion();
    void historyIsLoaded_data();
    void historyIsLoaded();
    void historyIsKeptForTheNextRun_data();
    void historyIsKeptForTheNextRun();
    void enterAndChoiceSendSelectFolder_data();
    void enterAndChoiceSendSelectFolder();
};

void TestHistoryBox::completion_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("selected");
    QTest::newRow("four characters complete") << "/usr" << "/usr/share/" << "/share/";
    QTest::newRow("three do not") << "/us" << "/us" << "";
    QTest::newRow("case does not matter") << "/USR" << "/usr/share/" << "/share/";
    QTest::newRow("the next key replaces the completion") << "/usr/l" << "/usr/local/" << "ocal/";
    QTest::newRow("no entry begins so") << "/opt" << "/opt" << "";
    QTest::newRow("backspace removes the completion") << "/usr\b" << "/usr" << "";
    QTest::newRow("another key completes again") << "/usr\b/" << "/usr/share/" << "share/";
    QTest::newRow("delete does not complete") << "/tmpx\x02\x7f" << "/tmp" << "";
    QTest::newRow("typed inside, the cursor stays") << "/sr\x02\x02u" << "/usr/share/" << "";
}

void TestHistoryBox::completion()
{
    QFETCH(QString, keys);
    QFETCH(QString, text);
    QFETCH(QString, selected);
    storeHistory({QStringLiteral("/usr/share/"), QStringLiteral("/usr/local/"), QStringLiteral("/tmp/")});
    FolderTarget target;
    CHistoryBox box(&target);
    box.show();
    type(&box, keys);
    QCOMPARE(box.lineEdit()->text(), text);
    QCOMPARE(box.lineEdit()->selectedText(), selected);
    QVERIFY(target.received.isEmpty());
}

void TestHistoryBox::historyIsLoaded_data()
{
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("none") << QStringList() << QStringList();
    QTest::newRow("in order") << QStringList{"/b/", "/a/"} << QStringList{"/b/", "/a/"};
    QTest::newRow("up to a missing value") << QStringList{"/a/", "/b/", QString(), "/d/"} << QStringList{"/a/", "/b/"};
    QTest::newRow("up to an empty value") << QStringList{"/a/", "", "/c/"} << QStringList{"/a/"};
    QTest::newRow("at most the layout's count") << numbered(kHistory.count + 1) << numbered(kHistory.count);
}

void TestHistoryBox::historyIsLoaded()
{
    QFETCH(QStringList, stored);
    QFETCH(QStringList, expected);
    storeHistory(stored);
    FolderTarget target;
    const CHistoryBox box(&target);
    QCOMPARE(entries(box), expected);
    QCOMPARE(box.currentText(), QString());
}

void TestHistoryBox::historyIsKeptForTheNextRun_data()
{
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("appended") << QStringList{"/a/"} << QStringList{"/b/", "/c/"} << QStringList{"/a/", "/b/", "/c/"};
    QTest::newRow("each once, whatever the case")
        << QStringList{"/Pictures/"} << QStringList{"/pictures/", "/b/", "/B/"} << QStringList{"/Pictures/", "/b/"};
    QTest::newRow("blank text is not kept") << QStringList() << QStringList{"", "  "} << QStringList();
    QStringList full = numbered(kHistory.count);
    QTest::newRow("full: the oldest goes") << full << QStringList{"/new/"} << full.mid(1) + QStringList{"/new/"};
}

void TestHistoryBox::historyIsKeptForTheNextRun()
{
    QFETCH(QStringList, stored);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, expected);
    storeHistory(stored);
    FolderTarget target;
    {
        CHistoryBox box(&target);
        for (const QString& path : shown) {
            box.setAddress(path);
            QCOMPARE(box.currentText(), path);
        }
        QCOMPARE(entries(box), expected);
    }
    // What another window of the program, or the next run, reads from the file.
    CSettingsStore::reload();
    QSettings file(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Zelt"), QStringLiteral("Zelt Pixoria"));
    QStringList written;
    for (int index = 0; file.contains(QString(kHistory.section) + u'/' + kHistory.name(index)); ++index)
        written << file.value(QString(kHistory.section) + u'/' + kHistory.name(index)).toString();
    QCOMPARE(written, expected);
}

void TestHistoryBox::enterAndChoiceSendSelectFolder_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("enter");
    QTest::addColumn<int>("chosen"); // the entry then chosen from the list, or -1
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("enter sends kind 4") << "/srv" << true << -1 << QStringList{"4 /srv"};
    QTest::newRow("enter on an entry's text sends it once") << "/tmp/" << true << -1 << QStringList{"4 /tmp/"};
    QTest::newRow("enter on a completion") << "/usr" << true << -1 << QStringList{"4 /usr/share/"};
    QTest::newRow("enter without text sends nothing") << "" << true << -1 << QStringList();
    QTest::newRow("a chosen entry sends kinds 3 and 1")
        << "" << false << 1 << QStringList{"3 /usr/local/", "1 /usr/local/"};
    QTest::newRow("leaving the box sends nothing") << "/tmp/" << false << -1 << QStringList();
}

void TestHistoryBox::enterAndChoiceSendSelectFolder()
{
    QFETCH(QString, typed);
    QFETCH(bool, enter);
    QFETCH(int, chosen);
    QFETCH(QStringList, expected);
    storeHistory({QStringLiteral("/usr/share/"), QStringLiteral("/usr/local/"), QStringLiteral("/tmp/")});
    FolderTarget target;
    QWidget window;
    auto* box = new CHistoryBox(&target, &window);
    auto* other = new QLineEdit(&window);
    other->move(0, 40);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    box->setFocus();
    type(box, typed);
    if (enter)
        QTest::keyClick(box, Qt::Key_Return);
    if (chosen >= 0) {
        box->showPopup();
        QTRY_VERIFY(box->view()->isVisible());
        const QRect item = box->view()->visualRect(box->model()->index(chosen, 0));
        QTest::mouseClick(box->view()->viewport(), Qt::LeftButton, {}, item.center());
    }
    // Leaving the box chooses nothing either.
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());
    QCOMPARE(target.received.join(u'|'), expected.join(u'|'));
}

QTEST_MAIN(TestHistoryBox)
#include "tst_historybox.moc"
