#include "catalogue_fixtures.h"
#include "effects/catalogue_filter.h"
#include "effects/catalogue_model.h"
#include "effects/catalogue_store.h"
#include "file_bytes.h"
#include "test_main.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString cell(const CatalogueModel& model, const QString& name, int column, int role = Qt::DisplayRole)
{
    return model.data(model.index(model.rowOf(name), column), role).toString();
}

QStringList column(const QAbstractItemModel& model, int column)
{
    QStringList cells;
    for (int row = 0; row < model.rowCount(); ++row)
        cells.append(model.data(model.index(row, column)).toString());
    return cells;
}

} // namespace

class TestCatalogueModel : public QObject {
    Q_OBJECT

private slots:
    void headersNameFieldsWithUnits();
    void editsReadGermanValues_data();
    void editsReadGermanValues();
    void refusedEditChangesNothing_data();
    void refusedEditChangesNothing();
    void renameMovesRowAndUndoMovesItBack();
    void addDeleteAreUndoSteps();
    void shotsCountTheListsEntries();
    void stockWarningWhereListNeedsMore();
    void filtersByNameArtAndClass();
    void sortsNumbersAsNumbersUnknownFirst();
    void storeWritesEachChangeByteExact();
    void storeFlushesPendingWriteWhenItGoes();
    void storeStartsEmptyWithoutFile();
    void unreadableFileIsSetAsideAndTold_data();
    void unreadableFileIsSetAsideAndTold();
    void failedWriteIsReported();
};

void TestCatalogueModel::headersNameFieldsWithUnits()
{
    CatalogueModel model;
    QStringList headers;
    for (int c = 0; c < model.columnCount(); ++c)
        headers.append(model.headerData(c, Qt::Horizontal).toString());
    QCOMPARE(headers,
        QStringList({ "Name", "Art", "Kaliber (mm)", "Vorlauf (s)", "Dauer (s)", "Steighöhe (m)",
            "Sicherheitsabstand (m)", "NEM (g)", "Klasse", "Bestand (Stück)", "Schüsse" }));
    QVERIFY(!(model.flags(model.index(0, CatalogueModel::ShotsColumn)) & Qt::ItemIsEditable));
}

void TestCatalogueModel::editsReadGermanValues_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("noted");
    QTest::newRow("Vorlauf with comma") << int(CatalogueModel::PrefireColumn) << "2,5"
                                        << "2,5" << false;
    QTest::newRow("Vorlauf with unit") << int(CatalogueModel::PrefireColumn) << "2,5 s"
                                       << "2,5" << false;
    QTest::newRow("Vorlauf with point is said") << int(CatalogueModel::PrefireColumn) << "2.5"
                                                << "2,5" << true;
    QTest::newRow("NEM in kg is said") << int(CatalogueModel::NemColumn) << "1,2 kg"
                                       << "1200,0" << true;
    QTest::newRow("NEM grouped") << int(CatalogueModel::NemColumn) << "1.234,5 g"
                                 << "1234,5" << false;
    QTest::newRow("Bestand in pieces") << int(CatalogueModel::StockColumn) << "12 Stück"
                                       << "12" << false;
    QTest::newRow("emptied is unknown") << int(CatalogueModel::CaliberColumn) << ""
                                        << "" << false;
    QTest::newRow("Art in small letters") << int(CatalogueModel::ArtColumn) << "römisches licht"
                                          << "Römisches Licht" << false;
    QTest::newRow("Klasse") << int(CatalogueModel::ClassColumn) << "t1"
                            << "T1" << false;
    QTest::newRow("rename within case") << int(CatalogueModel::NameColumn) << "KOMETEN BLAU"
                                        << "KOMETEN BLAU" << false;
}

void TestCatalogueModel::editsReadGermanValues()
{
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(bool, noted);
    CatalogueModel model;
    model.setCatalogue(CatalogueFromBytes(ThreeEffects));
    QSignalSpy refusals(&model, &CatalogueModel::refused);
    QSignalSpy notes(&model, &CatalogueModel::noted);
    QSignalSpy changes(&model, &CatalogueModel::catalogueChanged);
    const int row = model.rowOf(QStringLiteral("Kometen blau"));
    QVERIFY(model.setData(model.index(row, column), typed));
    QCOMPARE(refusals.count(), 0);
    QCOMPARE(model.data(model.index(row, column)).toString(), shown);
    QCOMPARE(notes.count(), noted ? 1 : 0);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(model.undoStack().count(), 1);
    model.undoStack().undo();
    QCOMPARE(model.catalogue(), CatalogueFromBytes(ThreeEffects));
}

void TestCatalogueModel::refusedEditChangesNothing_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("reason");
    QTest::newRow("Vorlauf over 120 s") << int(CatalogueModel::PrefireColumn) << "130"
                                        << "120 s";
    QTest::newRow("negative Kaliber") << int(CatalogueModel::CaliberColumn) << "-5"
                                      << "Kaliber";
    QTest::newRow("Kaliber over 300 mm") << int(CatalogueModel::CaliberColumn) << "301"
                                         << "300";
    QTest::newRow("NEM over 100 kg") << int(CatalogueModel::NemColumn) << "100,1 kg"
                                     << "NEM";
    QTest::newRow("ambiguous thousands") << int(CatalogueModel::NemColumn) << "1.234"
                                         << "1.234";
    QTest::newRow("other unit") << int(CatalogueModel::HeightColumn) << "40 s"
                                << "Steighöhe";
    QTest::newRow("unknown Art") << int(CatalogueModel::ArtColumn) << "Rakete"
                                 << "Rakete";
    QTest::newRow("unknown Klasse") << int(CatalogueModel::ClassColumn) << "F9"
                                    << "F9";
    QTest::newRow("empty name") << int(CatalogueModel::NameColumn) << "  "
                                << "";
    QTest::newRow("name taken") << int(CatalogueModel::NameColumn) << "Vulkan"
                                << "Vulkan";
    QTest::newRow("name taken in other case") << int(CatalogueModel::NameColumn) << "vulkan"
                                              << "Groß- und Kleinschreibung";
    QTest::newRow("name too long") << int(CatalogueModel::NameColumn) << QString(61, QLatin1Char('x'))
                                   << "60";
}

void TestCatalogueModel::refusedEditChangesNothing()
{
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, reason);
    CatalogueModel model;
    model.setCatalogue(CatalogueFromBytes(ThreeEffects));
    QSignalSpy refusals(&model, &CatalogueModel::refused);
    QSignalSpy changes(&model, &CatalogueModel::catalogueChanged);
    const int row = model.rowOf(QStringLiteral("Kometen blau"));
    QVERIFY(!model.setData(model.index(row, column), typed));
    QCOMPARE(refusals.count(), 1);
    const QString said = refusals.at(0).at(0).toString();
    QVERIFY2(said.contains(reason) && said.contains(QStringLiteral("Kometen blau")), qPrintable(said));
    QCOMPARE(model.catalogue(), CatalogueFromBytes(ThreeEffects));
    QCOMPARE(changes.count(), 0);
    QCOMPARE(model.undoStack().count(), 0);
}

void TestCatalogueModel::renameMovesRowAndUndoMovesItBack()
{
    CatalogueModel model;
    model.setCatalogue(CatalogueFromBytes(ThreeEffects));
    QSignalSpy moves(&model, &QAbstractItemModel::rowsMoved);
    QVERIFY(model.setData(model.index(2, CatalogueModel::NameColumn), QStringLiteral("Aaa Vulkan")));
    QCOMPARE(column(model, CatalogueModel::NameColumn),
        QStringList({ "Aaa Vulkan", "Bombe 75 mm rot", "Kometen blau" }));
    QCOMPARE(
        cell(model, QStringLiteral("Aaa Vulkan"), CatalogueModel::DurationColumn), QStringLiteral("30,0"));
    QVERIFY(model.setData(model.index(0, CatalogueModel::NameColumn), QStringLiteral("Zylinder")));
    QCOMPARE(column(model, CatalogueModel::NameColumn),
        QStringList({ "Bombe 75 mm rot", "Kometen blau", "Zylinder" }));
    QCOMPARE(moves.count(), 2);
    model.undoStack().undo();
    model.undoStack().undo();
    QCOMPARE(model.catalogue(), CatalogueFromBytes(ThreeEffects));
    model.undoStack().redo();
    QCOMPARE(column(model, CatalogueModel::NameColumn),
        QStringList({ "Aaa Vulkan", "Bombe 75 mm rot", "Kometen blau" }));
}

void TestCatalogueModel::addDeleteAreUndoSteps()
{
    CatalogueModel model;
    model.setCatalogue(CatalogueFromBytes(ThreeEffects));
    QCOMPARE(model.addEffect(), 2);
    QCOMPARE(model.addEffect(), 3);
    QCOMPARE(column(model, CatalogueModel::NameColumn),
        QStringList({ "Bombe 75 mm rot", "Kometen blau", "Neuer Effekt", "Neuer Effekt 2", "Vulkan" }));
    QVERIFY(model.addEffect(CatalogueFromBytes(ThreeEffects).effects()[0]).contains("schon im Katalog"));
    QVERIFY(model.removeEffects({ 0, 4 }));
    QCOMPARE(column(model, CatalogueModel::NameColumn),
        QStringList({ "Kometen blau", "Neuer Effekt", "Neuer Effekt 2" }));
    QCOMPARE(model.undoStack().count(), 3);
    QCOMPARE(model.undoStack().undoText(), QStringLiteral("2 Effekte löschen"));
    model.undoStack().undo();
    QCOMPARE(model.rowCount(), 5);
    QCOMPARE(model.catalogue().effects()[0], CatalogueFromBytes(ThreeEffects).effects()[0]);
    model.undoStack().undo();
    model.undoStack().undo();
    QCOMPARE(model.catalogue(), CatalogueFromBytes(ThreeEffects));
    QVERIFY(!model.removeEffects({}));
    QVERIFY(!model.removeEffects({ 7 }));
}

void TestCatalogueModel::shotsCountTheListsEntries()
{
    CatalogueModel model;
    model.setCatalogue(CatalogueFromBytes(ThreeEffects));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    // Exact names only; the fourth entry lies behind the list's end.
    const ShotList list = ListWithEffects({ "Vulkan", "vulkan", "Kometen blau", "Vulkan", "" });
    model.setList(list, 3);
    QCOMPARE(column(model, CatalogueModel::ShotsColumn), QStringList({ "0", "1", "1" }));
    QCOMPARE(changed.count(), 1);
    model.setList(list, 4);
    QCOMPARE(column(model, CatalogueModel::ShotsColumn), QStringList({ "0", "1", "2" }));
    model.setList(list, 4);
    QCOMPARE(changed.count(), 2);
}

void TestCatalogueModel::stockWarningWhereListNeedsMore()
{
    CatalogueModel model;
    model.setCatalogue(CatalogueFromBytes(ThreeEffects));
    // Kometen blau: 3 in stock.
    model.setList(ListWithEffects({ "Kometen blau", "Kometen blau", "Kometen blau", "Vulkan" }), 4);
    const QModelIndex shots = model.index(1, CatalogueModel::ShotsColumn);
    QVERIFY(model.data(shots, Qt::BackgroundRole).isNull());
    QVERIFY(model.stockWarnings().isEmpty());
    model.setList(ListWithEffects({ "Kometen blau", "Kometen blau", "Kometen blau", "Kometen blau" }), 4);
    QCOMPARE(model.data(shots, Qt::BackgroundRole).value<QColor>(), CatalogueModel::ShortfallBackground);
    QCOMPARE(model.data(model.index(1, CatalogueModel::StockColumn), Qt::ForegroundRole).value<QColor>(),
        CatalogueModel::ShortfallText);
    QCOMPARE(model.data(shots, Qt::ToolTipRole).toString(),
        QStringLiteral("Die Liste braucht 4 Stück, der Bestand ist 3 Stück: es fehlen 1."));
    QCOMPARE(model.stockWarnings(), QStringList({ "„Kometen blau“: 4 Schüsse, Bestand 3 Stück" }));
    // Vulkan has no stock known: no warning.
    QVERIFY(model.data(model.index(0, CatalogueModel::ShotsColumn), Qt::BackgroundRole).isNull());
    QVERIFY(model.setData(model.index(1, CatalogueModel::StockColumn), QStringLiteral("4")));
    QVERIFY(model.stockWarnings().isEmpty());
}

void TestCatalogueModel::filtersByNameArtAndClass()
{
    CatalogueModel model;
    model.setCatalogue(CatalogueFromBytes(ThreeEffects + FaecherRow));
    CatalogueFilter filter;
    filter.setSourceModel(&model);
    filter.setNameFilter(QStringLiteral("  KOMET "));
    QCOMPARE(column(filter, CatalogueModel::NameColumn), QStringList({ "Kometen blau" }));
    filter.setNameFilter(QString());
    filter.setClassFilter(EffectClass::F2);
    QCOMPARE(column(filter, CatalogueModel::NameColumn), QStringList({ "Kometen blau", "Vulkan" }));
    filter.setArtFilter(EffectArt::Vulkan);
    QCOMPARE(column(filter, CatalogueModel::NameColumn), QStringList({ "Vulkan" }));
    filter.setClassFilter(std::nullopt);
    filter.setArtFilter(EffectArt::Faecher);
    QCOMPARE(column(filter, CatalogueModel::NameColumn), QStringList({ "Fächer grün" }));
    // A row edited into the filter shows.
    QVERIFY(model.setData(model.index(model.rowOf("Vulkan"), CatalogueModel::ArtColumn), "fächer"));
    QCOMPARE(column(filter, CatalogueModel::NameColumn), QStringList({ "Fächer grün", "Vulkan" }));
}

void TestCatalogueModel::sortsNumbersAsNumbersUnknownFirst()
{
    CatalogueModel model;
    model.setCatalogue(CatalogueFromBytes(ThreeEffects + FaecherRow));
    CatalogueFilter filter;
    filter.setSourceModel(&model);
    filter.sort(CatalogueModel::CaliberColumn, Qt::AscendingOrder);
    QCOMPARE(column(filter, CatalogueModel::CaliberColumn), QStringList({ "", "30", "75", "100" }));
    filter.sort(CatalogueModel::ClassColumn, Qt::DescendingOrder);
    QCOMPARE(column(filter, CatalogueModel::ClassColumn), QStringList({ "F4", "F3", "F2", "F2" }));
    filter.sort(CatalogueModel::NameColumn, Qt::AscendingOrder);
    QCOMPARE(column(filter, CatalogueModel::NameColumn),
        QStringList({ "Bombe 75 mm rot", "Fächer grün", "Kometen blau", "Vulkan" }));
}

void TestCatalogueModel::storeWritesEachChangeByteExact()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Kelto/effektkatalog.csv"));
    QDir().mkpath(QFileInfo(path).absolutePath());
    writeFile(path, ThreeEffects);
    CatalogueStore store(path);
    QVERIFY(store.loadProblem().isEmpty());
    QCOMPARE(store.model().rowCount(), 3);
    CatalogueModel& model = store.model();
    QSignalSpy written(&store, &CatalogueStore::written);
    // Several edits in a row make one write.
    QVERIFY(model.setData(model.index(1, CatalogueModel::PrefireColumn), QStringLiteral("0,7")));
    QVERIFY(model.setData(model.index(1, CatalogueModel::StockColumn), QStringLiteral("5")));
    QVERIFY(store.hasPendingWrite());
    QVERIFY(written.wait());
    QCOMPARE(written.count(), 1);
    QCOMPARE(readFile(path),
        CatalogueBom + CatalogueHeaderLine + BombeRow + "Kometen blau;Kometen;30;0,7;2,0;40;25;12,5;F2;5\r\n"
            + VulkanRow);
    model.removeEffects({ 0, 1, 2 });
    QVERIFY(written.wait());
    QCOMPARE(readFile(path), CatalogueBom + CatalogueHeaderLine);
    model.undoStack().undo();
    QVERIFY(written.wait());
    QCOMPARE(readFile(path),
        CatalogueBom + CatalogueHeaderLine + BombeRow + "Kometen blau;Kometen;30;0,7;2,0;40;25;12,5;F2;5\r\n"
            + VulkanRow);
}

void TestCatalogueModel::storeFlushesPendingWriteWhenItGoes()
{
    QTemporaryDir dir;
    // The folder does not exist yet (a first start).
    const QString path = dir.filePath(QStringLiteral("new/Kelto/effektkatalog.csv"));
    {
        CatalogueStore store(path);
        QVERIFY(store.loadProblem().isEmpty());
        store.model().addEffect();
        QVERIFY(store.hasPendingWrite());
    }
    QCOMPARE(readFile(path), CatalogueBom + CatalogueHeaderLine + "Neuer Effekt;;;;;;;;;\r\n");
}

void TestCatalogueModel::storeStartsEmptyWithoutFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("effektkatalog.csv"));
    {
        CatalogueStore store(path);
        QCOMPARE(store.model().rowCount(), 0);
        QVERIFY(store.loadProblem().isEmpty());
    }
    // Nothing changed, nothing written.
    QVERIFY(!QFileInfo::exists(path));
}

void TestCatalogueModel::unreadableFileIsSetAsideAndTold_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    QTest::newRow("bad row") << QByteArray(
        CatalogueBom + CatalogueHeaderLine + BombeRow + "Kometen blau;Kometen;30;130;2,0;40;25;12,5;F2;3\r\n")
                             << "Zeile 3";
    QTest::newRow("not a catalogue") << QByteArray("\x00\x01\x02garbage\xff", 11) << "";
    QTest::newRow("names alike") << QByteArray(CatalogueBom + CatalogueHeaderLine + VulkanRow
        + "vulkan;;;;;;;;;\r\n") << "Groß- und Kleinschreibung";
}

void TestCatalogueModel::unreadableFileIsSetAsideAndTold()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("effektkatalog.csv"));
    const QString aside = dir.filePath(QStringLiteral("effektkatalog-unlesbar-1.csv"));
    writeFile(path, bytes);
    {
        CatalogueStore store(path);
        QCOMPARE(store.model().rowCount(), 0);
        QVERIFY2(store.loadProblem().contains(QStringLiteral("effektkatalog-unlesbar-1.csv"))
                && store.loadProblem().contains(reason),
            qPrintable(store.loadProblem()));
        QCOMPARE(readFile(aside), bytes);
        QVERIFY(!QFileInfo::exists(path));
        store.model().addEffect();
    }
    QCOMPARE(readFile(aside), bytes);
    QCOMPARE(readFile(path), CatalogueBom + CatalogueHeaderLine + "Neuer Effekt;;;;;;;;;\r\n");
    // A second bad file does not take the first one's name.
    writeFile(path, bytes);
    CatalogueStore again(path);
    QVERIFY(again.loadProblem().contains(QStringLiteral("effektkatalog-unlesbar-2.csv")));
    QCOMPARE(readFile(aside), bytes);
}

void TestCatalogueModel::failedWriteIsReported()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Kelto"));
    const QString path = folder + QStringLiteral("/effektkatalog.csv");
    CatalogueStore store(path);
    // The folder is a file: nothing can be written there.
    writeFile(folder, "a file");
    QSignalSpy failed(&store, &CatalogueStore::writeFailed);
    store.model().addEffect();
    QVERIFY(!store.flush());
    QCOMPARE(failed.count(), 1);
    QVERIFY(failed.at(0).at(0).toString().startsWith(
        QStringLiteral("Der Effektkatalog wurde nicht gespeichert")));
    QVERIFY(!store.writeProblem().isEmpty());
    QCOMPARE(store.model().rowCount(), 1);
    QCOMPARE(readFile(folder), QByteArray("a file"));
    // Once the folder can be made, the next change writes the whole catalogue.
    QVERIFY(QFile::remove(folder));
    store.model().addEffect();
    QVERIFY(store.flush());
    QCOMPARE(readFile(path),
        CatalogueBom + CatalogueHeaderLine + "Neuer Effekt;;;;;;;;;\r\nNeuer Effekt 2;;;;;;;;;\r\n");
}

KELTO_TEST_MAIN(TestCatalogueModel)
#include "tst_catalogue_model.moc"
