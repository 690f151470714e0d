#include <QTest>

#include "imagelib/flm.h"

class TestFlm : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void emptyHandle();
};

void TestFlm::emptyHandle()
{
    FLMHANDLE handle = nullptr;
    QCOMPARE(flmOpenHandle(&handle), 0);
    int empty = 0;
    QCOMPARE(flmIsEmpty(handle, &empty), 0);
    QVERIFY(empty != 0);
    flmCloseHandle(handle);
}

QTEST_GUILESS_MAIN(TestFlm)
#include "tst_flm.moc"
