#include "shot_list_fixtures.h"
#include "shotlist/duplicates.h"
#include "shotlist/list_document.h"
#include "test_main.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>

namespace {

using Change = std::function<bool(ListDocument&)>;

ShotList tenEntries()
{
    QList<int> times;
    for (int i = 0; i < 10; ++i)
        times.append(i * 10);
    ShotList list = ListWithTimes(times);
    for (int i = 0; i < 10; ++i)
        list.circuits[i] = qint16(32 + i);
    for (int i = 0; i < 10; i += 2)
        list.effects[i] = QStringLiteral("Effekt %1").arg(i + 1);
    list.circuits[12] = 40; // an empty slot keeps a circuit for a later entry
    return list;
}

ShotList normalised(ShotList list)
{
    NormalizeList(list);
    return list;
}

} // namespace

Q_DECLARE_METATYPE(Change)

class TestListDocument : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Every kind of change, taken back and brought back, gives the exact lists of all 171 slots.
    void undoAndRedoRestoreEveryChange_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("text");
        const auto at = [](ListDocument& d) { return d.revision(); };
        QTest::newRow("since shifts the rest")
            << Change([=](ListDocument& d) { return d.applySince(at(d), 3, 4, 10); })
            << "Abstand vor Eintrag 4";
        QTest::newRow("since appends")
            << Change([=](ListDocument& d) { return d.applySince(at(d), 10, 7, 0); })
            << "Abstand vor Eintrag 11";
        QTest::newRow("until shifts the rest")
            << Change([=](ListDocument& d) { return d.applyUntil(at(d), 1, 15, 10); })
            << "Abstand nach Eintrag 2";
        QTest::newRow("until appends")
            << Change([=](ListDocument& d) { return d.applyUntil(at(d), 9, 999, 0); })
            << "Abstand nach Eintrag 10";
        QTest::newRow("shift past the last time") << Change([=](ListDocument& d) {
            ShotList late = tenEntries();
            late.times[9] = 65000;
            return d.replace(d.revision(), late, d.meta(), QStringLiteral("Datei spaet.fsl laden"))
                && d.applySince(d.revision(), 2, 999, 10) && d.entryCount() < 10;
        }) << "Abstand vor Eintrag 3";
        QTest::newRow("delete rest") << Change([=](ListDocument& d) { return d.deleteRest(at(d), 4); })
                                     << "Rest der Liste löschen";
        QTest::newRow("circuit") << Change([=](ListDocument& d) { return d.applyCircuit(at(d), 2, 7, 30); })
                                 << "Zündkreis von Eintrag 3";
        QTest::newRow("circuit of an empty slot")
            << Change([=](ListDocument& d) { return d.applyCircuit(at(d), 169, 6, 1); })
            << "Zündkreis von Eintrag 170";
        QTest::newRow("insert") << Change([=](ListDocument& d) {
            return d.insertEntry(at(d), 5) == ListDocument::InsertResult::Inserted;
        }) << "Eintrag 6 einfügen";
        QTest::newRow("delete") << Change([=](ListDocument& d) { return d.deleteEntry(at(d), 0); })
                                << "Eintrag 1 löschen";
        QTest::newRow("file") << Change([](ListDocument& d) {
            return d.replace(
                d.revision(), ListWithTimes({ 5, 6, 7 }), d.meta(), QStringLiteral("Datei fw_002.fsl laden"));
        }) << "Datei fw_002.fsl laden";
        QTest::newRow("effect") << Change([=](ListDocument& d) {
            return d.setEffect(at(d), 1, QStringLiteral("  Kometen rot 50 mm "))
                && !d.setEffect(at(d), 2, QStringLiteral("Pfeil →"));
        }) << "Effekt von Eintrag 2";
        QTest::newRow("device") << Change([](ListDocument& d) {
            ShotList received = ShotList::startup();
            received.times[0] = 65535; // the device may send an empty list
            return d.replace(d.revision(), received, d.meta(), QStringLiteral("Liste vom Zündgerät"));
        }) << "Liste vom Zündgerät";
    }
    void undoAndRedoRestoreEveryChange()
    {
        QFETCH(Change, change);
        QFETCH(QString, text);
        ListDocument document;
        document.reset(tenEntries());
        const ShotList before = document.list();
        QSignalSpy changed(&document, &ListDocument::changed);

        QVERIFY(change(document));
        const ShotList after = document.list();
        QVERIFY(!SameList(after, before));
        QVERIFY(SameList(after, normalised(after)));
        QCOMPARE(document.undoStack().undoText(), text);
        const int steps = document.undoStack().count();
        QCOMPARE(changed.count(), steps);

        for (int i = 0; i < steps; ++i)
            QVERIFY(document.undo() >= 0);
        QVERIFY(SameList(document.list(), before));
        QCOMPARE(document.entryCount(), 10);
        for (int i = 0; i < steps; ++i)
            QVERIFY(document.redo() >= 0);
        QVERIFY(SameList(document.list(), after));
        QCOMPARE(document.entryCount(), CountEntries(after));
        QCOMPARE(changed.count(), 3 * steps);
    }

    void thousandStepsGoBackAndForth()
    {
        ListDocument document;
        document.reset(tenEntries());
        const ShotList start = document.list();
        for (int i = 0; i < 1000; ++i)
            QVERIFY(document.applyCircuit(document.revision(), i % 10, (i / 10) % 8, i % 31));
        QCOMPARE(document.undoStack().count(), 1000);
        const ShotList end = document.list();
        int undone = 0;
        while (document.undo() >= 0)
            ++undone;
        QCOMPARE(undone, 1000);
        QVERIFY(SameList(document.list(), start));
        while (document.redo() >= 0) { }
        QVERIFY(SameList(document.list(), end));
    }

    void insertBetweenEntries_data()
    {
        QTest::addColumn<QList<int>>("times");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("result");
        QTest::addColumn<QList<int>>("after");
        using R = ListDocument::InsertResult;
        QTest::newRow("halfway") << QList<int> { 0, 10, 20 } << 1 << int(R::Inserted)
                                 << QList<int> { 0, 5, 10, 20 };
        QTest::newRow("halfway rounded down")
            << QList<int> { 0, 10, 13 } << 2 << int(R::Inserted) << QList<int> { 0, 10, 11, 13 };
        QTest::newRow("first line") << QList<int> { 4, 10 } << 0 << int(R::Inserted)
                                    << QList<int> { 3, 4, 10 };
        QTest::newRow("no free second")
            << QList<int> { 0, 10, 11 } << 2 << int(R::NoFreeSecond) << QList<int> { 0, 10, 11 };
        QTest::newRow("first line at 0 s")
            << QList<int> { 0, 10 } << 0 << int(R::NoFreeSecond) << QList<int> { 0, 10 };
        QTest::newRow("empty line") << QList<int> { 0, 10 } << 2 << int(R::NothingToDo)
                                    << QList<int> { 0, 10 };
    }
    void insertBetweenEntries()
    {
        QFETCH(QList<int>, times);
        QFETCH(int, row);
        QFETCH(int, result);
        QFETCH(QList<int>, after);
        ListDocument document;
        ShotList list = ListWithTimes(times);
        for (int i = 0; i < times.size(); ++i)
            list.circuits[i] = qint16(i);
        document.reset(list);
        QCOMPARE(int(document.insertEntry(document.revision(), row)), result);
        QCOMPARE(LeadingTimes(document.list(), after.size() + 1), after + QList<int> { 65535 });
        if (result == int(ListDocument::InsertResult::Inserted)) {
            QCOMPARE(document.list().circuits[row], NoCircuit);
            QCOMPARE(
                document.list().circuits[row + 1], qint16(row)); // the entry that was on the line moved down
        } else {
            QCOMPARE(document.undoStack().count(), 0);
        }
    }

    void fullListTakesNoInsert()
    {
        ListDocument document;
        QList<int> times;
        for (int i = 0; i < EntryCount; ++i)
            times.append(i * 10);
        document.reset(ListWithTimes(times));
        QCOMPARE(document.insertEntry(document.revision(), 5), ListDocument::InsertResult::ListFull);
        QCOMPARE(document.entryCount(), 170);
    }

    void deleteKeepsLaterTimes()
    {
        ListDocument document;
        document.reset(tenEntries());
        QVERIFY(document.deleteEntry(document.revision(), 3));
        QCOMPARE(LeadingTimes(document.list(), 10), QList<int>({ 0, 10, 20, 40, 50, 60, 70, 80, 90, 65535 }));
        QCOMPARE(document.list().circuits[3], qint16(36));
        QCOMPARE(document.list().circuits[11], qint16(40)); // the empty slot's circuit moved up with it
        QCOMPARE(document.entryCount(), 9);
        QVERIFY(!document.deleteEntry(document.revision(), 9)); // an empty line
    }

    // Effects go where their entries go and come back with undo.
    void effectsStayWithTheirEntries_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QStringList>("effects"); // slots 0..10 afterwards
        const auto at = [](ListDocument& d) { return d.revision(); };
        const QString e1 = "Effekt 1", e3 = "Effekt 3", e5 = "Effekt 5", e7 = "Effekt 7", e9 = "Effekt 9";
        QTest::newRow("insert") << Change([=](ListDocument& d) {
            return d.insertEntry(at(d), 2) == ListDocument::InsertResult::Inserted;
        }) << QStringList { e1, "", "", e3, "", e5, "", e7, "", e9, "" };
        QTest::newRow("delete") << Change([=](ListDocument& d) { return d.deleteEntry(at(d), 1); })
                                << QStringList { e1, e3, "", e5, "", e7, "", e9, "", "", "" };
        QTest::newRow("shift of later entries")
            << Change([=](ListDocument& d) { return d.applyUntil(at(d), 0, 30, 10); })
            << QStringList { e1, "", e3, "", e5, "", e7, "", e9, "", "" };
        QTest::newRow("delete rest") << Change([=](ListDocument& d) { return d.deleteRest(at(d), 4); })
                                     << QStringList { e1, "", e3, "", e5, "", "", "", "", "", "" };
        QTest::newRow("effect") << Change([=](ListDocument& d) { return d.setEffect(at(d), 2, QString()); })
                                << QStringList { e1, "", "", "", e5, "", e7, "", e9, "", "" };
    }
    void effectsStayWithTheirEntries()
    {
        QFETCH(Change, change);
        QFETCH(QStringList, effects);
        ListDocument document;
        document.reset(tenEntries());
        const ShotList before = document.list();
        QVERIFY(change(document));
        for (int slot = 0; slot < effects.size(); ++slot)
            QCOMPARE(document.list().effects[slot], effects[slot]);
        document.undo();
        QVERIFY(SameList(document.list(), before));
    }

    // The saved state is where the list was last loaded, saved or received; a save of a list that was
    // replaced meanwhile names nothing.
    void savedStateFollowsFilesAndDevice()
    {
        ListDocument document;
        document.reset(tenEntries());
        QSignalSpy saved(&document, &ListDocument::savedChanged);
        QVERIFY(document.isSaved());
        QVERIFY(document.applyCircuit(document.revision(), 0, 1, 1));
        QVERIFY(!document.isSaved());
        document.undo();
        QVERIFY(document.isSaved());
        QCOMPARE(saved.count(), 2);

        ListMeta file;
        file.sourcePath = QStringLiteral("/listen/show.fsl");
        file.comment = QStringLiteral("Silvester");
        QVERIFY(document.replace(document.revision(), ListWithTimes({ 5, 6 }), file,
            QStringLiteral("Datei show.fsl laden"), ListDocument::Saved::Yes));
        QVERIFY(document.isSaved());
        QCOMPARE(document.name(), QStringLiteral("show.fsl"));
        const quint64 seen = document.revision();
        QVERIFY(document.applySince(document.revision(), 1, 3, 1));
        QVERIFY(!document.markSaved(seen, QStringLiteral("/listen/neu.fsl"), QStringLiteral("neu")));
        QVERIFY(!document.isSaved());
        QCOMPARE(document.name(), QStringLiteral("show.fsl"));
        QVERIFY(document.markSaved(
            document.revision(), QStringLiteral("/listen/neu.fsl"), QStringLiteral("neu")));
        QVERIFY(document.isSaved());
        QCOMPARE(document.meta().comment, QStringLiteral("neu"));

        // Undo of the load brings back the list with its own name and comment.
        document.undo();
        document.undo();
        QVERIFY(SameList(document.list(), tenEntries()));
        QCOMPARE(document.name(), QString());
        QVERIFY(!document.isSaved());
        QVERIFY(!document.replace(seen, ListWithTimes({ 1 }), file, QStringLiteral("alt")));
    }

    // A change asked for on a list that was replaced since is refused and recorded nowhere.
    void changeOnReplacedListIsRefused()
    {
        ListDocument document;
        document.reset(tenEntries());
        const quint64 seen = document.revision();
        QVERIFY(document.replace(document.revision(), ListWithTimes({ 1, 2 }), document.meta(),
            QStringLiteral("Liste vom Zündgerät")));
        QVERIFY(!document.deleteRest(seen, 0));
        QVERIFY(!document.applyCircuit(seen, 0, 1, 1));
        QCOMPARE(document.insertEntry(seen, 1), ListDocument::InsertResult::Stale);
        QCOMPARE(document.undoStack().count(), 1);
        QCOMPARE(document.entryCount(), 2);
        // Undo counts as a change too.
        const quint64 replaced = document.revision();
        document.undo();
        QVERIFY(!document.deleteEntry(replaced, 0));
        QCOMPARE(document.entryCount(), 10);
    }

    // A run of typing in one field is one undo step; a new run, another field or the saved state
    // in between start a new one, and text typed away again leaves no step.
    void typingRunIsOneStep_data()
    {
        QTest::addColumn<QStringList>("keys"); // "E<row>:<run>:<text>" or "C<run>:<text>", "S" saves
        QTest::addColumn<int>("steps");
        QTest::addColumn<QString>("effect2"); // effect of slot 2 at the end
        QTest::addColumn<QString>("comment");
        QTest::newRow("one run") << QStringList { "E2:1:K", "E2:1:Ko", "E2:1:Kom" } << 1 << "Kom" << "";
        QTest::newRow("two runs") << QStringList { "E2:1:K", "E2:1:Ko", "E2:2:Kom" } << 2 << "Kom" << "";
        QTest::newRow("typed away") << QStringList { "E2:1:K", "E2:1:Ko", "E2:1:Effekt 3" } << 0
                                    << "Effekt 3" << "";
        QTest::newRow("another row") << QStringList { "E2:1:K", "E3:1:L" } << 2 << "K" << "";
        QTest::newRow("no run, no merge") << QStringList { "E2:0:K", "E2:0:Ko" } << 2 << "Ko" << "";
        QTest::newRow("comment") << QStringList { "C1:S", "C1:Si", "C1:Sil" } << 1 << "Effekt 3" << "Sil";
        QTest::newRow("comment and effect apart")
            << QStringList { "C1:S", "E2:1:K", "C1:Si" } << 3 << "K" << "Si";
        QTest::newRow("saved between") << QStringList { "E2:1:K", "S", "E2:1:Ko" } << 2 << "Ko" << "";
    }
    void typingRunIsOneStep()
    {
        QFETCH(QStringList, keys);
        QFETCH(int, steps);
        QFETCH(QString, effect2);
        QFETCH(QString, comment);
        ListDocument document;
        document.reset(tenEntries());
        const ShotList before = document.list();
        for (const QString& key : keys) {
            if (key == QLatin1String("S")) {
                QVERIFY(document.markSaved(document.revision(), QStringLiteral("/l/a.fsl"), document.meta().comment));
                continue;
            }
            const QStringList parts = key.mid(1).split(QLatin1Char(':'));
            if (key.startsWith(QLatin1Char('E')))
                QVERIFY(document.setEffect(document.revision(), parts[0].toInt(), parts[2], parts[1].toULongLong()));
            else
                QVERIFY(document.setComment(document.revision(), parts[1], parts[0].toULongLong()));
        }
        QCOMPARE(document.undoStack().count(), steps);
        QCOMPARE(document.list().effects[2], effect2);
        QCOMPARE(document.meta().comment, comment);
        if (!keys.contains(QStringLiteral("S"))) {
            while (document.undoStack().canUndo())
                document.undo();
            QVERIFY(SameList(document.list(), before));
            QCOMPARE(document.meta().comment, QString());
        }
    }

    // An effect stands on an entry or waits on the first empty slot; a comment has one line.
    void refusesWhatNoEntryOrFileLineHolds()
    {
        ListDocument document;
        document.reset(tenEntries());
        QVERIFY(document.setEffect(document.revision(), 10, QStringLiteral("Vulkan weiß")));
        QVERIFY(!document.setEffect(document.revision(), 11, QStringLiteral("Vulkan weiß")));
        QVERIFY(!document.setEffect(document.revision(), 52, QStringLiteral("Bombe 150 mm")));
        QVERIFY(!document.setComment(document.revision(), QStringLiteral("Silvester\nSicherheitsabstand 50 m")));
        QVERIFY(!document.setComment(document.revision(), QStringLiteral("Pfeil →")));
        QCOMPARE(document.undoStack().count(), 1);
        // The waiting effect comes with the entry appended there.
        QVERIFY(document.applySince(document.revision(), 10, 5, 0));
        QCOMPARE(document.list().effects[10], QStringLiteral("Vulkan weiß"));
    }

    // A save gives the list its name and comment; undo and redo of the steps since the list was loaded
    // keep them, undo of the load brings back the list before with its own.
    void saveNameAndCommentStayThroughUndo()
    {
        ListDocument document;
        document.reset(ListWithTimes({ 0, 1, 2 }));
        ListMeta a;
        a.sourcePath = QStringLiteral("/listen/a.fsl");
        a.comment = QStringLiteral("Vier Geräte");
        QVERIFY(document.replace(document.revision(), tenEntries(), a, QStringLiteral("Datei a.fsl laden"),
            ListDocument::Saved::Yes));
        QVERIFY(document.applyCircuit(document.revision(), 0, 2, 2));
        QVERIFY(document.setComment(document.revision(), QStringLiteral("Silvester"), 1));
        QVERIFY(document.markSaved(document.revision(), QStringLiteral("/listen/b.fsl"),
            QStringLiteral("Silvester, Sicherheitsabstand 50 m")));
        const ListMeta saved = document.meta();
        QVERIFY(document.applyCircuit(document.revision(), 1, 2, 3));
        for (int i = 0; i < 3; ++i) {
            document.undo();
            QCOMPARE(document.name(), QStringLiteral("b.fsl"));
            QCOMPARE(document.meta().comment, saved.comment);
        }
        QCOMPARE(document.list().circuits[0], tenEntries().circuits[0]);
        for (int i = 0; i < 3; ++i) {
            document.redo();
            QCOMPARE(document.meta(), saved);
        }
        QCOMPARE(document.list().circuits[1], qint16(64 + 3));
        // Back past the load: the list before it, without name or comment.
        for (int i = 0; i < 4; ++i)
            document.undo();
        QVERIFY(SameList(document.list(), normalised(ListWithTimes({ 0, 1, 2 }))));
        QCOMPARE(document.name(), QString());
        QCOMPARE(document.meta().comment, QString());
        document.redo();
        QCOMPARE(document.name(), QStringLiteral("b.fsl"));
        QCOMPARE(document.meta().comment, saved.comment);
    }
};

KELTO_TEST_MAIN(TestListDocument)
#include "tst_list_document.moc"
