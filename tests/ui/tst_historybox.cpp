#include <QAbstractItemView>
#include <QLineEdit>
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

// Keys as a user types them into the box: "\b" is Backspace, "\x7f" Delete, "\x02" the left
// arrow, "\n" Enter.
void type(QComboBox* box, const QString& keys)
{
    const QHash<QChar, Qt::Key> special{{u'\b', Qt::Key_Backspace}, {u'\x7f', Qt::Key_Delete}, {u'\x02', Qt::Key_Left},
                                        {u'\n', Qt::Key_Return}};
    for (QChar key : keys) {
        if (special.contains(key))
            QTest::keyClick(box, special[key]);
        else
            QTest::keyClicks(box, QString(key));
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
    void typing_data();
    void typing();
    void historyIsKeptAcrossRuns_data();
    void historyIsKeptAcrossRuns();
};

void TestHistoryBox::historyIsKeptAcrossRuns_data()
{
    QTest::addColumn<QStringList>("stored"); // a null text is a missing value
    QTest::addColumn<QStringList>("shown");  // the folders then shown in the box
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("none") << QStringList() << QStringList() << QStringList();
    QTest::newRow("up to a missing value") << QStringList{"/a/", "/b/", QString(), "/d/"} << QStringList()
                                           << QStringList{"/a/", "/b/"};
    QTest::newRow("up to an empty value") << QStringList{"/a/", "", "/c/"} << QStringList() << QStringList{"/a/"};
    QTest::newRow("at most the layout's count") << numbered(kHistory.count + 1) << QStringList()
                                                << numbered(kHistory.count);
    QTest::newRow("appended") << QStringList{"/a/"} << QStringList{"/b/", "/c/"} << QStringList{"/a/", "/b/", "/c/"};
    QTest::newRow("each once, whatever the case")
        << QStringList{"/Pictures/"} << QStringList{"/pictures/", "/b/", "/B/"} << QStringList{"/Pictures/", "/b/"};
    QTest::newRow("blank text is not kept") << QStringList() << QStringList{"", "  "} << QStringList();
    QTest::newRow("full: the oldest goes") << numbered(kHistory.count) << QStringList{"/new/"}
                                           << numbered(kHistory.count).mid(1) + QStringList{"/new/"};
}

void TestHistoryBox::historyIsKeptAcrossRuns()
{
    QFETCH(QStringList, stored);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, expected);
    storeHistory(stored);
    FolderTarget target;
    {
        CHistoryBox box(&target);
        QCOMPARE(box.currentText(), QString());
        for (const QString& path : shown) {
            box.setAddress(path);
            QCOMPARE(box.currentText(), path);
        }
        QCOMPARE(entries(box), expected);
    }
    const CHistoryBox next(&target);
    QCOMPARE(entries(next), expected);
}

void TestHistoryBox::typing_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<int>("chosen"); // the entry then chosen from the list, or -1
    QTest::addColumn<QStringList>("sent");
    const QStringList none;
    QTest::newRow("four characters complete") << "/usr" << "/usr/share/" << "/share/" << -1 << none;
    QTest::newRow("three do not") << "/us" << "/us" << "" << -1 << none;
    QTest::newRow("case does not matter") << "/USR" << "/usr/share/" << "/share/" << -1 << none;
    QTest::newRow("the next key replaces the completion") << "/usr/l" << "/usr/local/" << "ocal/" << -1 << none;
    QTest::newRow("no entry begins so") << "/opt" << "/opt" << "" << -1 << none;
    QTest::newRow("backspace removes the completion") << "/usr\b" << "/usr" << "" << -1 << none;
    QTest::newRow("another key completes again") << "/usr\b/" << "/usr/share/" << "share/" << -1 << none;
    QTest::newRow("delete does not complete") << "/tmpx\x02\x7f" << "/tmp" << "" << -1 << none;
    QTest::newRow("typed inside, the cursor stays") << "/sr\x02\x02u" << "/usr/share/" << "" << -1 << none;
    QTest::newRow("leaving an entry's text chooses nothing") << "/tmp/" << "/tmp/" << "" << -1 << none;
    QTest::newRow("enter sends kind 4") << "/srv\n" << "/srv" << "" << -1 << QStringList{"4 /srv"};
    QTest::newRow("enter on an entry's text, once") << "/tmp/\n" << "/tmp/" << "" << -1 << QStringList{"4 /tmp/"};
    QTest::newRow("enter on a completion") << "/usr\n" << "/usr/share/" << "/share/" << -1
                                           << QStringList{"4 /usr/share/"};
    QTest::newRow("enter without text") << "\n" << "" << "" << -1 << none;
    QTest::newRow("a chosen entry sends kinds 3 and 1") << "" << "" << "" << 1
                                                        << QStringList{"3 /usr/local/", "1 /usr/local/"};
}

void TestHistoryBox::typing()
{
    QFETCH(QString, keys);
    QFETCH(QString, text);
    QFETCH(QString, selected);
    QFETCH(int, chosen);
    QFETCH(QStringList, sent);
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
    type(box, keys);
    QCOMPARE(box->lineEdit()->text(), text);
    QCOMPARE(box->lineEdit()->selectedText(), selected);
    if (chosen >= 0) {
        box->showPopup();
        QTRY_VERIFY(box->view()->isVisible());
        const QRect item = box->view()->visualRect(box->model()->index(chosen, 0));
        QTest::mouseClick(box->view()->viewport(), Qt::LeftButton, {}, item.center());
    }
    // The focus leaving the box chooses nothing.
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());
    QCOMPARE(target.received.join(u'|'), sent.join(u'|'));
}

QTEST_MAIN(TestHistoryBox)
#include "tst_historybox.moc"
