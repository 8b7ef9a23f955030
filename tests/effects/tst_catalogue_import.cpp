#include "catalogue_fixtures.h"
#include "effects/catalogue_import.h"
#include "effects/effect_columns.h"
#include "file_bytes.h"
#include "files/csv_file.h"
#include "test_main.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray latin1(const QString& text) { return QStringEncoder(QStringEncoder::Latin1).encode(text); }

EffectData effect(const QString& name)
{
    EffectData data;
    data.name = name;
    return data;
}

EffectData bombe()
{
    EffectData data = effect(QStringLiteral("Bombe 75 mm rot"));
    data.art = EffectArt::Bombe;
    data.caliberMm = 75;
    data.prefireTenths = 32;
    data.durationTenths = 25;
    data.nemTenthsGram = 450;
    data.effectClass = EffectClass::F3;
    return data;
}

EffectData faecher()
{
    EffectData data = effect(QStringLiteral("Fächer grün"));
    data.art = EffectArt::Faecher;
    data.heightM = 40;
    data.nemTenthsGram = 12000;
    data.stock = 4;
    return data;
}

QString problemsText(const QStringList& problems) { return problems.join(QLatin1Char('\n')); }

} // namespace

class TestCatalogueImport : public QObject {
    Q_OBJECT

private slots:
    void recognisesColumnNames_data();
    void recognisesColumnNames();
    void readsTablesOfEveryShape_data();
    void readsTablesOfEveryShape();
    void refusesBadTablesWithLineNumbers_data();
    void refusesBadTablesWithLineNumbers();
    void plansNewAndChangedArticles();
    void namesDifferingInCaseAreRefused();
    void hugeTablesAreRefusedUnread_data();
    void hugeTablesAreRefusedUnread();
    void readsRealFile();
};

void TestCatalogueImport::recognisesColumnNames_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("cellUnit");
    QTest::addColumn<bool>("refused");
    const auto row
        = [](const char* header, EffectColumn column, const char* unit = "", bool refused = false) {
              QTest::newRow(header) << QString::fromUtf8(header) << int(column) << QString::fromUtf8(unit)
                                    << refused;
          };
    row("Artikel", EffectColumn::Name);
    row("Bezeichnung", EffectColumn::Name);
    row("Name", EffectColumn::Name);
    row("Art", EffectColumn::Art);
    row("Type", EffectColumn::Art);
    row("Kaliber (mm)", EffectColumn::Caliber);
    row("Caliber [mm]", EffectColumn::Caliber);
    row("Kaliber (cm)", EffectColumn::Caliber, "", true);
    row("NEM (g)", EffectColumn::Nem);
    row("NEM (kg)", EffectColumn::Nem, "kg");
    row("NEM (mg)", EffectColumn::Nem, "", true);
    row("Vorlauf (s)", EffectColumn::Prefire);
    row("Prefire", EffectColumn::Prefire);
    row("Vorlauf (ms)", EffectColumn::Prefire, "", true);
    row("Dauer (s)", EffectColumn::Duration);
    row("Duration (sec)", EffectColumn::Duration);
    row("Höhe (m)", EffectColumn::Height);
    row("Steighöhe", EffectColumn::Height);
    row("Height", EffectColumn::Height);
    row("Sicherheitsabstand (m)", EffectColumn::SafetyDistance);
    row("Safety distance", EffectColumn::SafetyDistance);
    row("Klasse", EffectColumn::Class);
    row("Category", EffectColumn::Class);
    row("Bestand (Stück)", EffectColumn::Stock);
    row("Stock", EffectColumn::Stock);
    row("Bezeichnung (deutsch)", EffectColumn::None);
    row("Preis", EffectColumn::None);
}

void TestCatalogueImport::recognisesColumnNames()
{
    QFETCH(QString, header);
    QFETCH(int, column);
    QFETCH(QString, cellUnit);
    QFETCH(bool, refused);
    const EffectColumnName name = ClassifyEffectColumn(header);
    QCOMPARE(int(name.column), column);
    QCOMPARE(name.cellUnit, cellUnit);
    QCOMPARE(!name.problem.isEmpty(), refused);
    if (refused)
        QVERIFY2(name.problem.contains(header), qPrintable(name.problem));
}

void TestCatalogueImport::readsTablesOfEveryShape_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<EffectData>>("expected");
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<int>("headerLine");

    QTest::newRow("German, semicolons, BOM, decimal commas")
        << QByteArray("\xEF\xBB\xBF"
                      "Artikel;Art;Kaliber (mm);Vorlauf (s);Dauer (s);NEM (g);Klasse\r\n"
                      "Bombe 75 mm rot;Bombe;75;3,2;2,5;45,0;F3\r\n")
        << QList<EffectData> { bombe() } << QStringLiteral("UTF-8") << 1;
    QTest::newRow("English, commas, quoted decimals, points")
        << QByteArray("Name,Type,Caliber (mm),Prefire (s),Duration (s),NEC (g),Category\n"
                      "Bombe 75 mm rot,Bombe,75,\"3,2\",2.5,45,F3\n")
        << QList<EffectData> { bombe() } << QStringLiteral("UTF-8") << 1;
    QTest::newRow("tabs, title lines above, kilograms, Latin-1") << latin1(
        QStringLiteral("Preisliste Lieferant\n\nBezeichnung\tArt\tSteighöhe (m)\tNEM (kg)\tBestand\tPreis\n"
                       "Fächer grün\tFächer\t40\t1,2\t4\t19,90 €\n")
            .replace(QStringLiteral("€"), QStringLiteral("EUR"))) << QList<EffectData> { faecher() }
                                                                 << QStringLiteral("Windows-1252") << 3;
    QTest::newRow("sep line, empty cells are unknown") << QByteArray(
        "sep=,\nEffekt,Kaliber,Klasse\nVulkan,,F2\n") << QList<EffectData> { [] {
        EffectData data = effect(QStringLiteral("Vulkan"));
        data.effectClass = EffectClass::F2;
        return data;
    }() } << QStringLiteral("UTF-8") << 2;
    QTest::newRow("the catalogue's own file")
        << ThreeEffects << CatalogueFromBytes(ThreeEffects).effects() << QStringLiteral("UTF-8") << 1;
}

void TestCatalogueImport::readsTablesOfEveryShape()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<EffectData>, expected);
    QFETCH(QString, encoding);
    QFETCH(int, headerLine);
    const CatalogueImportTable table = ReadCatalogueImport(bytes);
    QVERIFY2(table.ok(), qPrintable(problemsText(table.problems)));
    QCOMPARE(table.effects, expected);
    QCOMPARE(table.encoding, encoding);
    QCOMPARE(table.headerLine, headerLine);
}

void TestCatalogueImport::refusesBadTablesWithLineNumbers_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("problems");

    QTest::newRow("values out of range and unknown names")
        << QByteArray("Name;Vorlauf (s);Klasse;Art\nA;1,0;F2;Bombe\nB;130;F2;Bombe\nC;1;F9;Rakete\n")
        << QStringList { QStringLiteral("Zeile 3: Vorlauf"), QStringLiteral("Zeile 4: Klasse „F9“") };
    QTest::newRow("wrong unit in the header") << QByteArray(
        "Name;Vorlauf (ms)\nA;100\n") << QStringList { QStringLiteral("Zeile 1: Spalte „Vorlauf (ms)“") };
    QTest::newRow("a decimal comma splitting a row")
        << QByteArray("Name,NEM (g)\nA,12\nB,12,5\n")
        << QStringList { QStringLiteral(
               "Zeile 3: 3 Felder, die Kopfzeile (Zeile 1) hat 2 (ein Dezimalkomma") };
    QTest::newRow("a name twice") << QByteArray("Name;NEM\nA;1\nB;2\nA;3\n")
                                  << QStringList { QStringLiteral("Zeile 4: „A“ steht schon in Zeile 2") };
    QTest::newRow("names differing in case")
        << QByteArray("Name;NEM\nVulkan;1\nvulkan;2\n")
        << QStringList { QStringLiteral("Zeile 3: „vulkan“ unterscheidet sich von „Vulkan“ (Zeile 2) nur in "
                                        "Groß- und Kleinschreibung") };
    QTest::newRow("empty name") << QByteArray("Name;NEM\n;1\n")
                                << QStringList { QStringLiteral("Zeile 2: Ein Effekt braucht einen Namen.") };
    QTest::newRow("two name columns") << QByteArray("Artikel;Effekt;NEM\nA;B;1\n")
                                      << QStringList { QStringLiteral("Zeile 1: mehrere Spalten") };
    QTest::newRow("two columns for one field") << QByteArray(
        "Name;NEM (g);NEC (kg)\nA;1;1\n") << QStringList { QStringLiteral("Zeile 1: zwei Spalten für NEM") };
    QTest::newRow("no header") << QByteArray("a;b\n1;2\n")
                               << QStringList { QStringLiteral("keine Kopfzeile") };
    QTest::newRow("header only") << QByteArray("Name;NEM\n")
                                 << QStringList { QStringLiteral("keine Artikel") };
    QTest::newRow("not the text its BOM says") << QByteArray(
        "\xFF\xFEN\x00\x00\xD8") << QStringList { QStringLiteral("kein gültiger Unicode-Text") };
}

void TestCatalogueImport::refusesBadTablesWithLineNumbers()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, problems);
    const CatalogueImportTable table = ReadCatalogueImport(bytes);
    QVERIFY(!table.ok());
    QVERIFY(table.effects.isEmpty());
    QCOMPARE(table.problems.size(), problems.size());
    for (qsizetype i = 0; i < problems.size(); ++i)
        QVERIFY2(table.problems[i].contains(problems[i]), qPrintable(problemsText(table.problems)));
}

void TestCatalogueImport::plansNewAndChangedArticles()
{
    const EffectCatalogue catalogue = CatalogueFromBytes(ThreeEffects);
    // A supplier's table without stock: the stock the user keeps stays.
    const CatalogueImportTable table = ReadCatalogueImport(
        QByteArray("Artikel;Kaliber (mm);NEM (g)\nBombe 75 mm rot;75;50\nKometen blau;30;12,5\nNeu;;1\n"));
    QVERIFY2(table.ok(), qPrintable(problemsText(table.problems)));
    const CatalogueImportPlan plan = PlanCatalogueImport(catalogue, table);
    QVERIFY(plan.ok());
    QCOMPARE(plan.added.size(), 1);
    QCOMPARE(plan.added[0].name, QStringLiteral("Neu"));
    QCOMPARE(plan.unchanged, 1);
    QCOMPARE(plan.updated.size(), 1);
    QCOMPARE(CatalogueChangeText(plan.updated[0].first, plan.updated[0].second),
        QStringLiteral("NEM 45,0 g → 50,0 g"));
    QCOMPARE(plan.withAdded.size(), 4);
    QCOMPARE(*plan.withAdded.find(QStringLiteral("Bombe 75 mm rot")),
        *catalogue.find(QStringLiteral("Bombe 75 mm rot")));
    const EffectData* updated = plan.withUpdated.find(QStringLiteral("Bombe 75 mm rot"));
    QVERIFY(updated);
    QCOMPARE(updated->nemTenthsGram, std::optional<qint32>(500));
    QCOMPARE(updated->stock, std::optional<qint32>(10));
    QCOMPARE(updated->prefireTenths, std::optional<qint32>(32));
}

void TestCatalogueImport::namesDifferingInCaseAreRefused()
{
    const EffectCatalogue catalogue = CatalogueFromBytes(ThreeEffects);
    const CatalogueImportTable table = ReadCatalogueImport(QByteArray("Name;NEM\nNeu;1\nVULKAN;2\n"));
    QVERIFY(table.ok());
    const CatalogueImportPlan plan = PlanCatalogueImport(catalogue, table);
    QVERIFY(!plan.ok());
    QCOMPARE(plan.problems,
        QStringList {
            QStringLiteral("Zeile 3: „VULKAN“ unterscheidet sich von „Vulkan“ im Katalog nur in Groß- und "
                           "Kleinschreibung; bitte gleich schreiben.") });
    QVERIFY(plan.added.isEmpty());
    QCOMPARE(plan.withUpdated, catalogue);
}

void TestCatalogueImport::hugeTablesAreRefusedUnread_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("problem");
    QByteArray rows("Name;NEM\n");
    for (int i = 0; i <= MaxCatalogueRows; ++i)
        rows += "E" + QByteArray::number(i) + ";1\n";
    QTest::newRow("20001 rows") << rows << QStringLiteral("Die Tabelle hat mehr als 20000 Zeilen.");
    QByteArray big("Name;NEM\n");
    big += QByteArray(MaxCsvBytes, 'x');
    QTest::newRow("over 4 MB") << big << QStringLiteral("Die Datei ist größer als 4 MB.");
}

void TestCatalogueImport::hugeTablesAreRefusedUnread()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, problem);
    const CatalogueImportTable table = ReadCatalogueImport(bytes);
    QCOMPARE(table.problems, QStringList { problem });
    QVERIFY(table.effects.isEmpty());
}

void TestCatalogueImport::readsRealFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lieferant.csv"));
    writeFile(path,
        latin1(QStringLiteral(
            "Bezeichnung;Steighöhe (m);NEM (kg);Bestand;Art\r\nFächer grün;40;1,2;4;Fächer\r\n")));
    const CatalogueImportTable table = ReadCatalogueImportFile(path);
    QVERIFY2(table.ok(), qPrintable(problemsText(table.problems)));
    QCOMPARE(table.effects, QList<EffectData> { faecher() });
    const CatalogueImportTable missing = ReadCatalogueImportFile(dir.filePath(QStringLiteral("fehlt.csv")));
    QCOMPARE(missing.problems.size(), 1);
    QVERIFY(missing.problems[0].contains(QStringLiteral("gibt es nicht")));
}

KELTO_TEST_MAIN(TestCatalogueImport)
#include "tst_catalogue_import.moc"
