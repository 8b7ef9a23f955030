#include "link/wire_format.h"
#include "shot_list_fixtures.h"
#include "test_main.h"

#include <QTest>

namespace {

// A received list of 170 records: the given fields for the first records, "FFFF FF" behind them,
// each record with the same three characters at offsets 4, 7 and 8.
QByteArray receivedList(const QList<QByteArray>& fields, const QByteArray& filler)
{
    QByteArray out;
    for (int k = 0; k < EntryCount; ++k) {
        const QByteArray f = k < fields.size() ? fields[k] : QByteArray("FFFFFF");
        out += f.left(4) + filler[0] + f.mid(4, 2) + filler[1] + filler[2];
    }
    return out;
}

} // namespace

class TestWireFormat : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void outgoingRecordIsEightCharacters_data()
    {
        QTest::addColumn<qint32>("time");
        QTest::addColumn<qint16>("circuit");
        QTest::addColumn<QByteArray>("record");
        QTest::newRow("A00 at 0 s") << 0 << qint16(0) << QByteArray("0000 00;");
        QTest::newRow("B03 at 90 s") << 90 << qint16(35) << QByteArray("005A 23;");
        QTest::newRow("empty slot") << 65535 << qint16(255) << QByteArray("FFFF FF;");
        QTest::newRow("last valid time, H30") << 65279 << qint16(254) << QByteArray("FEFF FE;");
        // Raised behind an empty slot: still empty on the wire, never wrapped to 0000.
        QTest::newRow("raised above empty") << 65536 << qint16(37) << QByteArray("FFFF 25;");
    }
    void outgoingRecordIsEightCharacters()
    {
        QFETCH(qint32, time);
        QFETCH(qint16, circuit);
        QFETCH(QByteArray, record);
        ShotList list = ShotList::startup();
        list.times[7] = time;
        list.circuits[7] = circuit;
        QCOMPARE(OutgoingRecord(list, 7), record);
    }

    void emptyListGoesOutAsFFFF()
    {
        ShotList list = ShotList::startup();
        list.times[0] = EmptyTime;
        QByteArray all;
        for (int k = 0; k < EntryCount; ++k)
            all += OutgoingRecord(list, k);
        QCOMPARE(all, QByteArray("FFFF FF;").repeated(170));
    }

    void decodesReceivedList_data()
    {
        QTest::addColumn<QByteArray>("filler");
        QTest::newRow("blank, semicolon, LF") << QByteArray(" ;\n");
        QTest::newRow("NUL and 0xFF") << QByteArray("\0\xff\0", 3);
        QTest::newRow("line ends") << QByteArray("\r\r\n");
        QTest::newRow("digits") << QByteArray("999");
    }
    void decodesReceivedList()
    {
        QFETCH(QByteArray, filler);
        // Upper, lower and mixed case; FF00 stored as it comes; a non-digit counts 0.
        const QByteArray received
            = receivedList({ "0000FF", "005A23", "00ff1f", "FEDCe0", "FF00FF", "00g101" }, filler);
        QCOMPARE(received.size(), 1530);
        ShotList list = ShotList::startup();
        list.times[SentinelSlot] = 7;
        QVERIFY(DecodeReceivedList(received, list));
        QCOMPARE(LeadingTimes(list, 7), (QList<int> { 0, 90, 255, 65244, 65280, 1, 65535 }));
        const QList<qint16> circuits(list.circuits, list.circuits + 7);
        QCOMPARE(circuits, (QList<qint16> { 255, 35, 31, 224, 255, 1, 255 }));
        QCOMPARE(list.times[169], 65535);
        QCOMPARE(list.circuits[169], qint16(255));
        // Decoding leaves the sentinel to the refresh.
        QCOMPARE(list.times[SentinelSlot], 7);
    }

    void wrongLengthIsNeverDecoded_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("one short") << 1529;
        QTest::newRow("one over") << 1531;
    }
    void wrongLengthIsNeverDecoded()
    {
        QFETCH(int, length);
        ShotList list = ShotList::startup();
        const ShotList before = list;
        QVERIFY(!DecodeReceivedList(QByteArray(length, '0'), list));
        QVERIFY(SameList(list, before));
        QVERIFY(!ReceivedList(QByteArray(length, '0')));
    }

    // What the window and the command line both take from a receive: normalised, no effects.
    void receivedListIsANewList()
    {
        const std::optional<ShotList> list
            = ReceivedList(receivedList({ "000A01", "005A23", "FFFFFF", "00FF02" }, " ;\n"));
        QVERIFY(list);
        QCOMPARE(LeadingTimes(*list, 3), (QList<int> { 10, 90, 65535 }));
        QCOMPARE(list->circuits[0], qint16(1));
        // Behind the first empty slot nothing counts.
        QVERIFY(list->isEmptyTime(3));
        QCOMPARE(list->times[SentinelSlot], 65535);
        for (const QString& effect : list->effects)
            QVERIFY(effect.isEmpty());
    }

    void receiveCompletesOnlyAtExactly1530_data()
    {
        QTest::addColumn<QList<int>>("chunks");
        QTest::addColumn<QList<bool>>("complete");
        QTest::newRow("one chunk") << QList<int> { 1530 } << QList<bool> { true };
        QTest::newRow("two chunks") << QList<int> { 1000, 530 } << QList<bool> { false, true };
        QTest::newRow("empty notification before the end")
            << QList<int> { 1529, 0, 1 } << QList<bool> { false, false, true };
        QTest::newRow("jumps past") << QList<int> { 1529, 2 } << QList<bool> { false, false };
        QTest::newRow("keeps counting past") << QList<int> { 1531, 1 } << QList<bool> { false, false };
    }
    void receiveCompletesOnlyAtExactly1530()
    {
        QFETCH(QList<int>, chunks);
        QFETCH(QList<bool>, complete);
        QByteArray buffer;
        qsizetype total = 0;
        for (int i = 0; i < chunks.size(); ++i) {
            total += chunks[i];
            const ReceiveStep step = AppendReceived(buffer, QByteArray(chunks[i], 'x'));
            QCOMPARE(step.count, total);
            QCOMPARE(step.complete, complete[i]);
        }
        QCOMPARE(buffer.size(), total);
    }

    void progressTextUsesLocaleSeparator_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<int>("received");
        QTest::addColumn<QString>("text");
        const QLocale german(QLocale::German, QLocale::Germany);
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        const struct {
            int n;
            const char* comma;
        } rows[] = { { 0, "0 / ," }, { 1, "1 / ,1" }, { 5, "5 / ,6" }, { 9, "9 / 1," }, { 10, "10 / 1,1" },
            { 1529, "1529 / 169,9" }, { 9000, "9000 / 1000," } };
        for (const auto& row : rows) {
            const QString comma = QString::fromLatin1(row.comma);
            QTest::addRow("comma %d", row.n) << german << row.n << comma;
            QTest::addRow("point %d", row.n) << english << row.n << QString(comma).replace(',', '.');
        }
    }
    void progressTextUsesLocaleSeparator()
    {
        QFETCH(QLocale, locale);
        QFETCH(int, received);
        QFETCH(QString, text);
        QCOMPARE(ReceiveProgressText(received, locale), text);
    }
};

KELTO_TEST_MAIN(TestWireFormat)
#include "tst_wire_format.moc"
