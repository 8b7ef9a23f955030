#include "effects/catalogue_difference.h"
#include "test_main.h"

#include <QCompleter>
#include <QStringListModel>

Q_DECLARE_METATYPE(CatalogueMatch)
Q_DECLARE_METATYPE(std::optional<EffectData>)

namespace {

// "Bombe 75 mm rot" as the catalogue holds it.
EffectData bombe()
{
    EffectData data;
    data.name = QStringLiteral("Bombe 75 mm rot");
    data.art = EffectArt::Bombe;
    data.caliberMm = 75;
    data.prefireTenths = 32;
    data.durationTenths = 25;
    data.heightM = 80;
    data.safetyDistanceM = 60;
    data.nemTenthsGram = 450;
    data.effectClass = EffectClass::F3;
    data.stock = 10;
    return data;
}

template <typename Change> std::optional<EffectData> listBombe(Change change)
{
    EffectData data = bombe();
    data.stock.reset();
    change(data);
    return data;
}

EffectCatalogue catalogueOf(const QList<EffectData>& articles)
{
    EffectCatalogue catalogue;
    for (const EffectData& article : articles)
        catalogue.add(article);
    return catalogue;
}

} // namespace

class TestCatalogueDifference : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Each field the list keeps is compared and named in the German form of its value; stock is the
    // catalogue's alone.
    void comparesTheListsDataWithTheCatalogue_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<std::optional<EffectData>>("inList");
        QTest::addColumn<CatalogueMatch>("match");
        QTest::addColumn<QString>("text");
        const QString name = QStringLiteral("Bombe 75 mm rot");
        QTest::newRow("same")
            << name << listBombe([](EffectData&) {}) << CatalogueMatch::Same
            << "Liste wie Katalog: Bombe, 75 mm, Vorlauf 3,2 s, Dauer 2,5 s, NEM 45,0 g, F3";
        QTest::newRow("stock is not compared")
            << name << listBombe([](EffectData& d) { d.stock = 3; }) << CatalogueMatch::Same
            << "Liste wie Katalog: Bombe, 75 mm, Vorlauf 3,2 s, Dauer 2,5 s, NEM 45,0 g, F3";
        QTest::newRow("Vorlauf") << name << listBombe([](EffectData& d) { d.prefireTenths = 20; })
                                 << CatalogueMatch::Differs << "Katalog: Vorlauf 3,2 s, Liste: 2,0 s";
        QTest::newRow("Art") << name << listBombe([](EffectData& d) { d.art = EffectArt::RoemischesLicht; })
                             << CatalogueMatch::Differs << "Katalog: Art Bombe, Liste: Römisches Licht";
        QTest::newRow("Kaliber unknown in the list")
            << name << listBombe([](EffectData& d) { d.caliberMm.reset(); }) << CatalogueMatch::Differs
            << "Katalog: Kaliber 75 mm, Liste: unbekannt";
        QTest::newRow("NEM grouped") << name << listBombe([](EffectData& d) { d.nemTenthsGram = 12345; })
                                     << CatalogueMatch::Differs << "Katalog: NEM 45,0 g, Liste: 1.234,5 g";
        QTest::newRow("every field")
            << name << listBombe([](EffectData& d) {
                   d.art = EffectArt::Mine;
                   d.caliberMm = 100;
                   d.prefireTenths = 5;
                   d.durationTenths.reset();
                   d.heightM = 90;
                   d.safetyDistanceM = 70;
                   d.nemTenthsGram = 1;
                   d.effectClass = EffectClass::F4;
               })
            << CatalogueMatch::Differs
            << "Katalog: Art Bombe, Liste: Mine; Katalog: Kaliber 75 mm, Liste: 100 mm; "
               "Katalog: Vorlauf 3,2 s, Liste: 0,5 s; Katalog: Dauer 2,5 s, Liste: "
               "unbekannt; Katalog: Steighöhe 80 m, Liste: 90 m; Katalog: "
               "Sicherheitsabstand 60 m, Liste: 70 m; Katalog: NEM 45,0 g, Liste: 0,1 g; "
               "Katalog: Klasse F3, Liste: F4";
        QTest::newRow("list without data")
            << name << std::optional<EffectData>() << CatalogueMatch::CatalogueOnly
            << "Liste ohne Daten. Katalog: Bombe, 75 mm, Vorlauf 3,2 s, Dauer 2,5 "
               "s, NEM 45,0 g, F3";
        EffectData own;
        own.name = QStringLiteral("Eigenbau");
        QTest::newRow("unknown to the catalogue")
            << "Eigenbau" << std::optional<EffectData>(own) << CatalogueMatch::ListOnly
            << "Nicht im Katalog. Liste: keine Daten";
        own.name = QStringLiteral("bombe 75 MM rot");
        QTest::newRow("other case, either could be meant")
            << "bombe 75 MM rot" << std::optional<EffectData>(own) << CatalogueMatch::OtherCase
            << "Der Katalog kennt „bombe 75 MM rot“ nur als „Bombe 75 mm rot“.";
        QTest::newRow("nowhere") << "Neu" << std::optional<EffectData>() << CatalogueMatch::Unknown
                                 << "Keine Daten; nicht im Katalog.";
        QTest::newRow("no effect") << "" << std::optional<EffectData>() << CatalogueMatch::NoName << "";
    }
    void comparesTheListsDataWithTheCatalogue()
    {
        QFETCH(QString, name);
        QFETCH(std::optional<EffectData>, inList);
        QFETCH(CatalogueMatch, match);
        QFETCH(QString, text);
        EffectDataMap listData;
        if (inList)
            listData.insert(inList->name, *inList);
        const CatalogueComparison comparison = CompareWithCatalogue(name, listData, catalogueOf({ bombe() }));
        QCOMPARE(comparison.match, match);
        QCOMPARE(comparison.text(), text);
        QCOMPARE(comparison.differences.isEmpty(), match != CatalogueMatch::Differs);
    }

    // The list's data is found by the exact name only.
    void listDataIsFoundByExactName()
    {
        EffectDataMap listData;
        EffectData other = bombe();
        other.name = QStringLiteral("Bombe 75 mm Rot");
        listData.insert(other.name, other);
        const CatalogueComparison comparison
            = CompareWithCatalogue(QStringLiteral("Bombe 75 mm rot"), listData, catalogueOf({ bombe() }));
        QCOMPARE(comparison.match, CatalogueMatch::CatalogueOnly);
    }

    void summaryLeavesOutWhatIsUnknown_data()
    {
        QTest::addColumn<std::optional<EffectData>>("data");
        QTest::addColumn<QString>("summary");
        QTest::newRow("all") << std::optional<EffectData>(bombe())
                             << "Bombe, 75 mm, Vorlauf 3,2 s, Dauer 2,5 s, NEM 45,0 g, F3";
        EffectData some;
        some.durationTenths = 300;
        some.effectClass = EffectClass::T1;
        QTest::newRow("some") << std::optional<EffectData>(some) << "Dauer 30,0 s, T1";
        QTest::newRow("none") << std::optional<EffectData>(EffectData()) << "keine Daten";
    }
    void summaryLeavesOutWhatIsUnknown()
    {
        QFETCH(std::optional<EffectData>, data);
        QFETCH(QString, summary);
        QCOMPARE(EffectDataSummary(*data), summary);
    }

    // A case-insensitively sorted completer over these names finds, for every prefix in any case, what
    // the catalogue finds: its binary search needs the names in its own order.
    void completerFindsWhatTheCatalogueFinds()
    {
        QList<EffectData> articles;
        for (const char* name :
            { "Zylinder", "älter Vulkan", "Apfel", "Öl", "ober", "Bombe 75", "bombe 100 mm", "Straße",
                "STRAUSS", "Fächer grün", "faecher", "10er Batterie", "_Sonder", "Über" }) {
            EffectData data;
            data.name = QString::fromUtf8(name);
            articles.append(data);
        }
        const EffectCatalogue catalogue = catalogueOf(articles);
        QCOMPARE(catalogue.size(), int(articles.size()));
        QStringListModel names(CompletionNames(catalogue));
        QCompleter completer(&names);
        completer.setCaseSensitivity(Qt::CaseInsensitive);
        completer.setModelSorting(QCompleter::CaseInsensitivelySortedModel);
        for (const EffectData& article : articles) {
            for (qsizetype length = 0; length <= article.name.size(); ++length) {
                for (const QString& prefix :
                    { article.name.left(length).toLower(), article.name.left(length).toUpper() }) {
                    completer.setCompletionPrefix(prefix);
                    QStringList found;
                    for (int i = 0; completer.setCurrentRow(i); ++i)
                        found.append(completer.currentCompletion());
                    found.sort(Qt::CaseInsensitive);
                    QStringList expected = catalogue.namesStartingWith(prefix);
                    expected.sort(Qt::CaseInsensitive);
                    QVERIFY2(found == expected,
                        qPrintable(prefix + ": " + found.join('|') + " / " + expected.join('|')));
                }
            }
        }
    }
};

KELTO_TEST_MAIN(TestCatalogueDifference)
#include "tst_catalogue_difference.moc"
