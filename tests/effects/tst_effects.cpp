#include "effects/effect_catalogue.h"
#include "effects/list_effect_data.h"
#include "effects/material_list.h"
#include "file_bytes.h"
#include "files/csv_file.h"
#include "files/fsl_file.h"
#include "files/list_file.h"
#include "shotlist/list_document.h"
#include "test_main.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(EffectField)
Q_DECLARE_METATYPE(QList<EffectData>)

namespace {

const QByteArray Bom("\xEF\xBB\xBF");
const QByteArray Header("Name;Art;Kaliber (mm);Vorlauf (s);Dauer (s);Steighöhe (m);Sicherheitsabstand (m);"
                        "NEM (g);Klasse;Bestand (Stück)\r\n");

EffectData effect(const QString& name, std::optional<EffectArt> art = {}, std::optional<qint32> caliber = {},
    std::optional<qint32> prefire = {}, std::optional<qint32> duration = {},
    std::optional<qint32> height = {}, std::optional<qint32> distance = {}, std::optional<qint32> nem = {},
    std::optional<EffectClass> effectClass = {}, std::optional<qint32> stock = {})
{
    EffectData data;
    data.name = name;
    data.art = art;
    data.caliberMm = caliber;
    data.prefireTenths = prefire;
    data.durationTenths = duration;
    data.heightM = height;
    data.safetyDistanceM = distance;
    data.nemTenthsGram = nem;
    data.effectClass = effectClass;
    data.stock = stock;
    return data;
}

const EffectData Bombe = effect(
    QStringLiteral("Bombe 75 mm rot"), EffectArt::Bombe, 75, 32, 25, 80, 60, 450, EffectClass::F3, 10);
const EffectData Kometen
    = effect(QStringLiteral("Kometen blau"), EffectArt::Kometen, 30, 5, 20, 40, 25, 125, EffectClass::F2, 3);
const EffectData Vulkan
    = effect(QStringLiteral("Vulkan"), EffectArt::Vulkan, {}, {}, 300, {}, 15, {}, EffectClass::F2, {});

EffectCatalogue catalogueOf(const QList<EffectData>& effects)
{
    EffectCatalogue catalogue;
    for (const EffectData& data : effects) {
        const QString refusal = catalogue.add(data);
        if (!refusal.isEmpty())
            qWarning() << refusal;
    }
    return catalogue;
}

EffectDataMap mapOf(const QList<EffectData>& effects)
{
    EffectDataMap map;
    for (const EffectData& data : effects)
        map.insert(data.name, data);
    return map;
}

// Entries 5 s apart with these effects.
ShotList showOf(const QStringList& effects)
{
    ShotList list = ShotList::startup();
    for (int i = 0; i < effects.size(); ++i) {
        list.times[i] = i * 5;
        list.circuits[i] = qint16(i);
        list.effects[i] = effects[i];
    }
    return list;
}

// The show of a small site: shells, comets over stock, a fountain without data, a fountain without
// NEM, two entries without effect.
ShotList smallShow()
{
    return showOf({ Bombe.name, Kometen.name, Kometen.name, Kometen.name, QString(), Bombe.name,
        QStringLiteral("Fontäne gelb"), Vulkan.name, Kometen.name, Bombe.name, QString(),
        QStringLiteral("Fontäne gelb") });
}

} // namespace

class TestEffects : public QObject {
    Q_OBJECT

private slots:
    void readsTypedValues_data();
    void readsTypedValues();
    void formatsGermanNumbers_data();
    void formatsGermanNumbers();
    void writesCatalogueByteExact();
    void catalogueRoundTrips_data();
    void catalogueRoundTrips();
    void readsOwnColumnsInAnyOrder();
    void refusesBadCatalogues_data();
    void refusesBadCatalogues();
    void refusesHugeCataloguesUnread_data();
    void refusesHugeCataloguesUnread();
    void missingCatalogueIsEmpty();
    void setsAsideUnreadableCatalogue();
    void catalogueLivesBesideRecoveryCopy();
    void catalogueRefusesCaseVariants();
    void completesNamesByPrefix();
    void countsMaterial_data();
    void countsMaterial();
    void writesMaterialTableByteExact();
    void listFileCarriesEffectData();
    void refusesBadEffectDataKeys_data();
    void refusesBadEffectDataKeys();
    void documentKeepsDataThroughFileAndUndo();
    void refusedDataIsToldOnReading();
};

void TestEffects::readsTypedValues_data()
{
    QTest::addColumn<EffectField>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("value"); // -1: unknown or refused
    QTest::addColumn<QString>("problem");

    const EffectField pre = EffectField::Prefire, nem = EffectField::Nem, cal = EffectField::Caliber,
                      stock = EffectField::Stock;
    QTest::newRow("comma") << pre << "2,5" << 25 << "";
    QTest::newRow("point") << pre << "2.5" << 25 << "";
    QTest::newRow("unit") << pre << " 2,5 s " << 25 << "";
    QTest::newRow("trailing zero") << pre << "2.50" << 25 << "";
    QTest::newRow("whole seconds") << pre << "120" << 1200 << "";
    QTest::newRow("empty is unknown") << pre << "  " << -1 << "";
    QTest::newRow("too precise") << pre << "2,55" << -1 << "Vorlauf „2,55“: höchstens eine Nachkommastelle.";
    QTest::newRow("over 120 s") << pre << "130" << -1 << "Vorlauf „130“ liegt über 120 s.";
    QTest::newRow("negative") << pre << "-1" << -1 << "Vorlauf darf nicht negativ sein.";
    QTest::newRow("minus zero") << pre << "-0" << 0 << "";
    QTest::newRow("text") << pre << "kurz" << -1 << "Vorlauf „kurz“ ist keine Zahl.";
    QTest::newRow("other unit") << pre << "2 min" << -1 << "Vorlauf „2 min“: die Einheit ist s.";
    QTest::newRow("german thousands") << nem << "1.234,5 g" << 12345 << "";
    QTest::newRow("english thousands") << nem << "1,234.5" << 12345 << "";
    QTest::newRow("point or thousands")
        << nem << "1.234" << -1
        << "NEM „1.234“ ist mehrdeutig (Tausenderpunkt oder Dezimalzeichen?); "
           "bitte ohne Tausendertrennzeichen schreiben.";
    QTest::newRow("comma or thousands")
        << nem << "1,234" << -1
        << "NEM „1,234“ ist mehrdeutig (Tausenderpunkt oder Dezimalzeichen?); "
           "bitte ohne Tausendertrennzeichen schreiben.";
    QTest::newRow("below one") << nem << "0.250" << -1 << "NEM „0.250“: höchstens eine Nachkommastelle.";
    QTest::newRow("blank as thousands") << nem << "1 234,5" << -1 << "NEM „1 234,5“ ist keine Zahl.";
    QTest::newRow("kilograms") << nem << "1,2 kg" << 12000 << "";
    QTest::newRow("100 kg") << nem << "100 kg" << 1000000 << "";
    QTest::newRow("over 100 kg") << nem << "100,1 kg" << -1 << "NEM „100,1 kg“ liegt über 100 kg.";
    QTest::newRow("grouped millions") << nem << "1.234.567" << -1 << "NEM „1.234.567“ liegt über 100 kg.";
    QTest::newRow("bad grouping") << nem << "1.234.5" << -1 << "NEM „1.234.5“ ist keine Zahl.";
    QTest::newRow("huge") << nem << "99999999999999999999" << -1
                          << "NEM „99999999999999999999“ liegt über 100 kg.";
    QTest::newRow("caliber") << cal << "50 mm" << 50 << "";
    QTest::newRow("caliber zero fraction") << cal << "50,0" << 50 << "";
    QTest::newRow("caliber fraction") << cal << "50,5" << -1 << "Kaliber „50,5“: nur ganze mm.";
    QTest::newRow("caliber over 300") << cal << "301" << -1 << "Kaliber „301“ liegt über 300 mm.";
    QTest::newRow("caliber thousands")
        << cal << "1.000" << -1
        << "Kaliber „1.000“ ist mehrdeutig (Tausenderpunkt oder Dezimalzeichen?); "
           "bitte ohne Tausendertrennzeichen schreiben.";
    QTest::newRow("pieces") << stock << "12 Stück" << 12 << "";
    QTest::newRow("pieces short") << stock << "12 Stk." << 12 << "";
    QTest::newRow("a million pieces") << stock << "1.000.000" << 1000000 << "";
}

void TestEffects::readsTypedValues()
{
    QFETCH(EffectField, field);
    QFETCH(QString, typed);
    QFETCH(int, value);
    QFETCH(QString, problem);
    const EffectValueRead read = ReadEffectValue(field, typed);
    QCOMPARE(read.problem, problem);
    QCOMPARE(read.value.value_or(-1), value);
}

void TestEffects::formatsGermanNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("grouped tenths") << GermanNumber(12345, 1) << "1.234,5";
    QTest::newRow("millions") << GermanNumber(1234567, 0) << "1.234.567";
    QTest::newRow("hundreds") << GermanNumber(999, 0) << "999";
    QTest::newRow("zero") << GermanNumber(0, 1) << "0,0";
    QTest::newRow("negative") << GermanNumber(-25, 1) << "-2,5";
    QTest::newRow("ungrouped") << GermanNumber(12345, 1, false) << "1234,5";
    QTest::newRow("seconds") << EffectValueText(EffectField::Prefire, 25) << "2,5 s";
    QTest::newRow("grams") << EffectValueText(EffectField::Nem, 12345) << "1.234,5 g";
    QTest::newRow("metres") << EffectValueText(EffectField::SafetyDistance, 50) << "50 m";
    QTest::newRow("millimetres") << EffectValueText(EffectField::Caliber, 75) << "75 mm";
    QTest::newRow("pieces") << EffectValueText(EffectField::Stock, 1200) << "1.200 Stück";
    QTest::newRow("cell") << EffectValueCell(EffectField::Nem, 12345) << "1234,5";
    QTest::newRow("entries") << EntryNumbersText({ 1, 2, 4, 5, 6, 9 }) << "Nr. 1, 2, 4–6, 9";
}

void TestEffects::formatsGermanNumbers()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(text, expected);
}

void TestEffects::writesCatalogueByteExact()
{
    const EffectCatalogue catalogue
        = catalogueOf({ effect(QStringLiteral("Kometen \"Gold\"; lang"), EffectArt::Kometen), Bombe,
            effect(QStringLiteral("Römisches Licht grün"), EffectArt::RoemischesLicht, {}, 0, 1200, {}, {},
                1000000, EffectClass::T1, 0) });
    const QByteArray expected = Bom + Header
        + "Bombe 75 mm rot;Bombe;75;3,2;2,5;80;60;45,0;F3;10\r\n"
          "\"Kometen \"\"Gold\"\"; lang\";Kometen;;;;;;;;\r\n"
        + QStringLiteral("Römisches Licht grün;Römisches Licht;;0,0;120,0;;;100000,0;T1;0\r\n").toUtf8();
    QCOMPARE(CatalogueBytes(catalogue), expected);
    QCOMPARE(CatalogueBytes(EffectCatalogue()), Bom + Header);
}

void TestEffects::catalogueRoundTrips_data()
{
    QTest::addColumn<QList<EffectData>>("effects");
    QTest::newRow("empty") << QList<EffectData>();
    QTest::newRow("names only") << QList<EffectData> { effect(QStringLiteral("A")),
        effect(QStringLiteral("b")) };
    QTest::newRow("full") << QList<EffectData> { Bombe, Kometen, Vulkan };
    QTest::newRow("quotes and separators")
        << QList<EffectData> { effect(QStringLiteral("\"Gold\";Silber"), EffectArt::Mine, 1, 1, 1),
               effect(QStringLiteral("Fächer 9 Schuss „Weiß“ € 100%")) };
    QTest::newRow("names like formulas")
        << QList<EffectData> { effect(QStringLiteral("-NM\tKomet")), effect(QStringLiteral("=1+1")),
               effect(QStringLiteral("'+Rot")), effect(QStringLiteral("@Blau")) };
    QTest::newRow("limits") << QList<EffectData> { effect(QString(60, QLatin1Char('x')), EffectArt::Sonstiges,
        300, 1200, 1200, 2000, 5000, 1000000, EffectClass::T2, 1000000) };
}

void TestEffects::catalogueRoundTrips()
{
    QFETCH(QList<EffectData>, effects);
    const EffectCatalogue catalogue = catalogueOf(effects);
    QCOMPARE(catalogue.size(), effects.size());
    QTemporaryDir dir;
    const QString path = dir.filePath(CatalogueFileName);
    QString error;
    QVERIFY(WriteCatalogueFile(path, catalogue, &error));
    const CatalogueRead read = ReadCatalogueFile(path);
    QCOMPARE(read.problems, QStringList());
    QVERIFY(read.ok());
    QVERIFY(read.catalogue == catalogue);
    QCOMPARE(CatalogueBytes(read.catalogue), readFile(path));
}

void TestEffects::readsOwnColumnsInAnyOrder()
{
    // As a spreadsheet may leave it: no BOM, LF, columns moved or left out, units left out.
    const CatalogueRead read
        = ReadCatalogue("sep=;\nNEM;name;Steighohe (m)\n\"1.234,5\";Bombe 100 mm;120\n\n;Vulkan;\n");
    QCOMPARE(read.problems, QStringList());
    QCOMPARE(read.catalogue.size(), 2);
    const EffectData* bombe = read.catalogue.find(QStringLiteral("Bombe 100 mm"));
    QVERIFY(bombe);
    QCOMPARE(bombe->nemTenthsGram, std::optional<qint32>(12345));
    QCOMPARE(bombe->heightM, std::optional<qint32>(120));
    QVERIFY(!bombe->art && !bombe->prefireTenths && !bombe->stock);
    QVERIFY(read.catalogue.find(QStringLiteral("Vulkan")));
}

void TestEffects::refusesBadCatalogues_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("problems");

    const QByteArray good = "Bombe;Bombe;75;3,2;2,5;80;60;45,0;F3;10\r\n";
    QTest::newRow("value out of range")
        << Bom + Header + good + "Vulkan;Vulkan;;130;;;;;;\r\n" + "Mine;Mine;-5;;;;;;;\r\n"
        << QStringList { "Zeile 3: Vorlauf „130“ liegt über 120 s.",
               "Zeile 4: Kaliber darf nicht negativ sein." };
    QTest::newRow("unknown art and class")
        << Bom + Header + "Rakete;Rakete;;;;;;;F1;\r\n"
        << QStringList {
               "Zeile 2: Art „Rakete“ ist keine von Bombe, Bombette, Kometen, Batterie, Fächer, Vulkan, "
               "Fontäne, Römisches Licht, Mine oder Sonstiges.",
               "Zeile 2: Klasse „F1“ ist keine von F2, F3, F4, T1 oder T2."
           };
    QTest::newRow("name twice") << Bom + Header + good + "Vulkan;;;;;;;;;\r\n" + good
                                << QStringList { "Zeile 4: „Bombe“ steht schon in Zeile 2." };
    QTest::newRow("name in other case")
        << Bom + Header + good + "BOMBE;;;;;;;;;\r\n"
        << QStringList { "Zeile 3: „BOMBE“ unterscheidet sich von „Bombe“ (Zeile 2) nur in der Groß- und "
                         "Kleinschreibung." };
    QTest::newRow("cells missing") << Bom + Header + "Bombe;Bombe;75;3,2;2,5;80;60;45,0;F3\r\n"
                                   << QStringList { "Zeile 2: 9 Felder, die Kopfzeile hat 10." };
    QTest::newRow("no name") << Bom + Header + ";Bombe;;;;;;;;\r\n"
                             << QStringList { "Zeile 2: Ein Effekt braucht einen Namen." };
    QTest::newRow("name too long") << Bom + Header + QByteArray(61, 'x') + ";;;;;;;;;\r\n"
                                   << QStringList {
                                          "Zeile 2: Ein Effekt hat höchstens 60 Zeichen (dieser hat 61)."
                                      };
    QTest::newRow("name over two lines") << Bom + Header + "\"Bombe\r\nrot\";;;;;;;;;\r\n" + good
                                         << QStringList { "Zeile 2: Ein Effekt steht auf einer Zeile, ohne "
                                                          "Zeilenumbruch." };
    QTest::newRow("unknown column") << Bom + "Name;Preis\r\nBombe;12\r\n"
                                    << QStringList { "Zeile 1: unbekannte Spalte „Preis“." };
    QTest::newRow("other unit") << Bom + "Name;NEM (kg)\r\nBombe;1\r\n"
                                << QStringList { "Zeile 1: Spalte „NEM (kg)“: die Einheit ist g." };
    QTest::newRow("no header")
        << good
        << QStringList { "Zeile 1: unbekannte Spalte „Bombe“.", "Zeile 1: unbekannte Spalte „Bombe“.",
               "Zeile 1: unbekannte Spalte „75“.", "Zeile 1: unbekannte Spalte „3,2“.",
               "Zeile 1: unbekannte Spalte „2,5“.", "Zeile 1: unbekannte Spalte „80“.",
               "Zeile 1: unbekannte Spalte „60“.", "Zeile 1: unbekannte Spalte „45,0“.",
               "Zeile 1: unbekannte Spalte „F3“.", "Zeile 1: unbekannte Spalte „10“.",
               "Zeile 1: keine Spalte „Name“: das ist nicht die Kopfzeile eines Effektkatalogs "
               "(Name;Art;Kaliber (mm);Vorlauf (s);Dauer (s);Steighöhe (m);Sicherheitsabstand (m);NEM (g);"
               "Klasse;Bestand (Stück))." };
    QTest::newRow("doubled column") << Bom + "Name;Art;art;\r\n"
                                    << QStringList { "Zeile 1: Spalte „art“ steht zweimal da.",
                                           "Zeile 1: eine Spalte ohne Namen." };
    QTest::newRow("unclosed quote") << Bom + Header + good + "\"Vulkan;;;;;;;;;\r\nMine;;;;;;;;;\r\n"
                                    << QStringList { "Zeile 3: 1 Feld, die Kopfzeile hat 10.",
                                           "Zeile 3: ein Anführungszeichen wird bis zum Ende der Datei nicht "
                                           "geschlossen." };
    QTest::newRow("not the text its BOM says") << Bom + Header + "Bomb\xE9;;;;;;;;;\r\n"
                                               << QStringList { "Die Datei ist kein lesbarer Text." };
    QTest::newRow("other separator") << QByteArray("sep=,\r\nName,Art\r\n")
                                     << QStringList { "Zeile 1: das Trennzeichen ist „;“, nicht „,“." };
    QTest::newRow("nothing") << QByteArray()
                             << QStringList { "Die Datei hat keine Kopfzeile (" + CatalogueHeader() + ")." };
}

void TestEffects::refusesBadCatalogues()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, problems);
    const CatalogueRead read = ReadCatalogue(bytes);
    QCOMPARE(read.problems, problems);
    QCOMPARE(read.outcome, CatalogueRead::Outcome::Refused);
    QVERIFY(read.catalogue.isEmpty());
}

void TestEffects::refusesHugeCataloguesUnread_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("problems");

    QByteArray rows = Bom + Header;
    for (int i = 1; i <= MaxCatalogueRows; ++i)
        rows += "Effekt " + QByteArray::number(i) + ";;;;;;;;;\r\n";
    QTest::newRow("20,000 rows") << rows << QStringList();
    QTest::newRow("20,001 rows") << rows + "Effekt;;;;;;;;;\r\n"
                                 << QStringList {
                                        "Die Datei hat mehr als 20.000 Zeilen; so viele Artikel liest "
                                        "Kelto nicht."
                                    };
    QTest::newRow("blank lines") << Bom + Header + QByteArray(MaxCatalogueRows + 1, '\n')
                                 << QStringList {
                                        "Die Datei hat mehr als 20.000 Zeilen; so viele Artikel liest "
                                        "Kelto nicht."
                                    };
    QTest::newRow("over 4 MB") << Bom + Header + QByteArray(MaxCsvBytes, ' ')
                               << QStringList { "Die Datei ist größer als 4 MB." };
}

void TestEffects::refusesHugeCataloguesUnread()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, problems);
    QTemporaryDir dir;
    const QString path = dir.filePath(CatalogueFileName);
    writeFile(path, bytes);
    const CatalogueRead read = ReadCatalogueFile(path);
    QCOMPARE(read.problems, problems);
    QCOMPARE(read.ok(), problems.isEmpty());
    if (read.ok())
        QCOMPARE(read.catalogue.size(), MaxCatalogueRows);
}

void TestEffects::missingCatalogueIsEmpty()
{
    QTemporaryDir dir;
    const CatalogueRead read = ReadCatalogueFile(dir.filePath(CatalogueFileName));
    QCOMPARE(read.outcome, CatalogueRead::Outcome::Missing);
    QVERIFY(read.catalogue.isEmpty() && read.problems.isEmpty());
}

void TestEffects::setsAsideUnreadableCatalogue()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(CatalogueFileName);
    const QByteArray first = Bom + Header + "Vulkan;Vulkan;;130;;;;;;\r\n";
    const QByteArray second = Bom + "Name;Preis\r\n";
    QStringList asideNames;
    for (const QByteArray& bytes : { first, second }) {
        writeFile(path, bytes);
        const CatalogueRead read = ReadCatalogueFile(path);
        QVERIFY(!read.ok());
        QString reason;
        const QString aside = SetAsideCatalogue(path, &reason);
        QCOMPARE(reason, QString());
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(readFile(aside), bytes);
        asideNames.append(QFileInfo(aside).fileName());
        QCOMPARE(CatalogueSetAsideText(aside, read.problems).section(QLatin1Char('\n'), 2),
            read.problems.join(QLatin1Char('\n')));
    }
    QCOMPARE(asideNames, QStringList({ "effektkatalog-unlesbar-1.csv", "effektkatalog-unlesbar-2.csv" }));
    QCOMPARE(readFile(dir.filePath(asideNames[0])), first);

    // The new catalogue goes where the old one was.
    QString error;
    QVERIFY(WriteCatalogueFile(path, catalogueOf({ Vulkan }), &error));
    QVERIFY(ReadCatalogueFile(path).ok());

    QString reason;
    QCOMPARE(SetAsideCatalogue(dir.filePath(QStringLiteral("gone/effektkatalog.csv")), &reason), QString());
    QVERIFY(!reason.isEmpty());
}

void TestEffects::catalogueLivesBesideRecoveryCopy()
{
    // The test sets "temp": the catalogue is beside kelto.ini there.
    const QString temp
        = QDir::toNativeSeparators(QString::fromLocal8Bit(qgetenv("temp"))) + QDir::separator();
    QCOMPARE(CatalogueFilePath(temp), temp + QStringLiteral("effektkatalog.csv"));
}

void TestEffects::catalogueRefusesCaseVariants()
{
    EffectCatalogue catalogue = catalogueOf({ Bombe, Vulkan });
    QCOMPARE(catalogue.add(effect(QStringLiteral("vulkan"))),
        QStringLiteral(
            "„vulkan“ unterscheidet sich von „Vulkan“ im Katalog nur in der Groß- und Kleinschreibung."));
    QCOMPARE(catalogue.add(effect(QStringLiteral(" Vulkan "))),
        QStringLiteral("„Vulkan“ steht schon im Katalog."));
    EffectData tooLate = Vulkan;
    tooLate.prefireTenths = 1201;
    QCOMPARE(catalogue.update(Vulkan.name, tooLate), QStringLiteral("Vorlauf 120,1 s liegt über 120 s."));
    QVERIFY(!catalogue.find(QStringLiteral("vulkan")));
    QCOMPARE(catalogue.findIgnoringCase(QStringLiteral("vulkan"))->name, Vulkan.name);

    // Renaming in case only is the same article; renaming onto another is refused.
    EffectData renamed = Vulkan;
    renamed.name = QStringLiteral("VULKAN");
    QCOMPARE(catalogue.update(Vulkan.name, renamed), QString());
    QVERIFY(catalogue.find(QStringLiteral("VULKAN")) && !catalogue.find(Vulkan.name));
    renamed.name = Bombe.name;
    QCOMPARE(catalogue.update(QStringLiteral("VULKAN"), renamed),
        QStringLiteral("„Bombe 75 mm rot“ steht schon im Katalog."));
    QCOMPARE(catalogue.update(QStringLiteral("Rakete"), renamed),
        QStringLiteral("„Rakete“ steht nicht im Katalog."));
    QVERIFY(catalogue.remove(QStringLiteral("VULKAN")));
    QVERIFY(!catalogue.remove(QStringLiteral("VULKAN")));
    QCOMPARE(catalogue.size(), 1);
}

void TestEffects::completesNamesByPrefix()
{
    const EffectCatalogue catalogue = catalogueOf({ Kometen, Bombe, effect(QStringLiteral("kometen grün")),
        effect(QStringLiteral("Komet")), effect(QStringLiteral("Bombette")) });
    QCOMPARE(catalogue.namesStartingWith(QStringLiteral("KOMETEN")),
        QStringList({ "Kometen blau", "kometen grün" }));
    QCOMPARE(catalogue.namesStartingWith(QStringLiteral("bomb"), 1), QStringList({ "Bombe 75 mm rot" }));
    QCOMPARE(catalogue.namesStartingWith(QStringLiteral("x")), QStringList());
    QCOMPARE(catalogue.namesStartingWith(QString()).size(), 5);
}

void TestEffects::countsMaterial_data()
{
    QTest::addColumn<QStringList>("effects");
    QTest::addColumn<QList<EffectData>>("data");
    QTest::addColumn<QList<EffectData>>("stock");
    QTest::addColumn<QStringList>("lines");

    const ShotList small = smallShow();
    QTest::newRow("small site")
        << QStringList(std::begin(small.effects), std::begin(small.effects) + 12)
        << QList<EffectData> { Bombe, Kometen, Vulkan } << QList<EffectData> { Bombe, Kometen }
        << QStringList { "Material: 10 Stück, 4 Effekte",
               "NEM gesamt: 185,0 g (F2 50,0 g · F3 135,0 g) – unvollständig: 5 Schüsse "
               "ohne NEM-Angabe",
               "größter Sicherheitsabstand: 60 m", "größte Steighöhe: 80 m", "ohne Effekt: Nr. 5, 11",
               "ohne Effektdaten: „Fontäne gelb“ (Nr. 7, 12)", "ohne NEM-Angabe: „Vulkan“ (Nr. 8)",
               "Bestand reicht nicht: „Kometen blau“ 4 Stück, Bestand 3" };

    // A full show: 8 F2 cakes and 3 F3 shells in every 15 entries, 170 entries.
    const EffectData cake = effect(
        QStringLiteral("Batterie 25 Schuss"), EffectArt::Batterie, 20, 5, 250, 30, 50, 150, EffectClass::F2);
    const EffectData shell = effect(
        QStringLiteral("Bombe 150 mm"), EffectArt::Bombe, 150, 40, 40, 150, 200, 3715, EffectClass::F3);
    QStringList full;
    for (int i = 0; i < EntryCount; ++i)
        full.append(i % 15 < 8 ? cake.name
                : i % 15 < 11  ? shell.name
                               : QStringLiteral("Fontäne %1").arg(i % 15));
    QTest::newRow("example of the check")
        << full.mid(0, 11) << QList<EffectData> { cake, shell } << QList<EffectData>()
        << QStringList { "Material: 11 Stück, 2 Effekte", "NEM gesamt: 1.234,5 g (F2 120,0 g · F3 1.114,5 g)",
               "größter Sicherheitsabstand: 200 m", "größte Steighöhe: 150 m" };
    QTest::newRow("170 entries")
        << full << QList<EffectData> { cake, shell } << QList<EffectData> { cake }
        << QStringList { "Material: 170 Stück, 6 Effekte",
               "NEM gesamt: 13.654,5 g (F2 1.395,0 g · F3 12.259,5 g) – unvollständig: 44 "
               "Schüsse ohne NEM-Angabe",
               "größter Sicherheitsabstand: 200 m", "größte Steighöhe: 150 m",
               "ohne Effektdaten: „Fontäne 11“ (Nr. 12, 27, 42, 57, 72, 87, 102, 117, 132, "
               "147, 162), „Fontäne 12“ (Nr. 13, 28, 43, 58, 73, 88, 103, 118, 133, 148, "
               "163), „Fontäne 13“ (Nr. 14, 29, 44, 59, 74, 89, 104, 119, 134, 149, 164), "
               "„Fontäne 14“ (Nr. 15, 30, 45, 60, 75, 90, 105, 120, 135, 150, 165)" };
    QTest::newRow("nothing known") << QStringList { "Vulkan", QString() } << QList<EffectData>()
                                   << QList<EffectData>()
                                   << QStringList { "Material: 1 Stück, 1 Effekt", "NEM gesamt: unbekannt",
                                          "größter Sicherheitsabstand: unbekannt",
                                          "größte Steighöhe: unbekannt", "ohne Effekt: Nr. 2",
                                          "ohne Effektdaten: „Vulkan“ (Nr. 1)" };
    QTest::newRow("without class or distance")
        << QStringList { "Mine" }
        << QList<EffectData> { effect(QStringLiteral("Mine"), EffectArt::Mine, {}, {}, {}, {}, {}, 5) }
        << QList<EffectData>()
        << QStringList { "Material: 1 Stück, 1 Effekt", "NEM gesamt: 0,5 g (ohne Klasse 0,5 g)",
               "größter Sicherheitsabstand: unbekannt", "größte Steighöhe: unbekannt",
               "ohne Sicherheitsabstand: „Mine“ (Nr. 1)" };
}

void TestEffects::countsMaterial()
{
    QFETCH(QStringList, effects);
    QFETCH(QList<EffectData>, data);
    QFETCH(QList<EffectData>, stock);
    QFETCH(QStringList, lines);
    const EffectCatalogue catalogue = catalogueOf(stock);
    const MaterialList material = ComputeMaterial(showOf(effects), mapOf(data), &catalogue);
    QCOMPARE(MaterialCheckLines(material), lines);
    int counted = 0;
    for (const MaterialLine& line : material.lines)
        counted += line.count();
    QCOMPARE(counted, effects.size());
}

void TestEffects::writesMaterialTableByteExact()
{
    const EffectCatalogue catalogue = catalogueOf({ Bombe, Kometen });
    const MaterialList material = ComputeMaterial(smallShow(), mapOf({ Bombe, Kometen, Vulkan }), &catalogue);
    const QString expected = QStringLiteral(
        "Effekt;Anzahl;Art;Kaliber (mm);Klasse;NEM je Stück (g);NEM gesamt (g);Sicherheitsabstand (m);"
        "Steighöhe (m);Bestand (Stück);Fehlmenge (Stück);Schüsse\r\n"
        "Bombe 75 mm rot;3;Bombe;75;F3;45,0;135,0;60;80;10;;1, 6, 10\r\n"
        "Fontäne gelb;2;;;;;;;;;;7, 12\r\n"
        "Kometen blau;4;Kometen;30;F2;12,5;50,0;25;40;3;1;2–4, 9\r\n"
        "Vulkan;1;Vulkan;;F2;;;15;;;;8\r\n"
        ";2;;;;;;;;;;5, 11\r\n"
        "\r\n"
        "Gesamt;10;;;;;185,0;60;80;;;\r\n"
        "Gesamt F2;;;;F2;;50,0;;;;;\r\n"
        "Gesamt F3;;;;F3;;135,0;;;;;\r\n");
    QCOMPARE(MaterialCsvBytes(material), Bom + expected.toUtf8());
}

void TestEffects::listFileCarriesEffectData()
{
    ShotList list = smallShow();
    list.effects[169] = QStringLiteral("Mine; \"Spezial\""); // waits behind the list
    const EffectData mine
        = effect(list.effects[169], EffectArt::Mine, 100, 15, 10, 0, 100, 1234, EffectClass::F4, 7);
    EffectDataMap data
        = mapOf({ Bombe, Kometen, Vulkan, mine, effect(QStringLiteral("unbenutzt"), EffectArt::Mine) });
    const KeltoKeys keys = EffectDataKeys(list, data);
    const KeltoKeys expectedKeys {
        { "Effektdaten 001", "Bombe 75 mm rot;Bombe;75;3.2;2.5;80;60;45.0;F3" },
        { "Effektdaten 002", "Kometen blau;Kometen;30;0.5;2.0;40;25;12.5;F2" },
        { "Effektdaten 003", "Vulkan;Vulkan;;;30.0;;15;;F2" },
        { "Effektdaten 004", "Mine; \"Spezial\";Mine;100;1.5;1.0;0;100;123.4;F4" },
    };
    QCOMPARE(keys, expectedKeys);

    // Through the real file: the 176 lines stay those of a list without data, the keys follow, and a
    // key of a newer Kelto comes back beside them.
    KeltoBlock block;
    block.otherKeys = keys;
    block.otherKeys.append({ QStringLiteral("Zukunft"), QStringLiteral("1") });
    const QByteArray bytes = ShotListFileBytes(ListFileSignature, QStringLiteral("Show"), list, block);
    const QByteArray plain = ShotListFileBytes(ListFileSignature, QStringLiteral("Show"), list);
    QVERIFY(bytes.startsWith(plain));
    QVERIFY(bytes.contains("\r\nEffektdaten 004=Mine; \"Spezial\";Mine;100;1.5;1.0;0;100;123.4;F4\r\n"));
    QBuffer buffer;
    buffer.setData(bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const std::optional<FslContent> content = ReadShotListFile(buffer, ListFileSignature);
    QVERIFY(content);
    QCOMPARE(content->skippedLines, QList<int>());
    const EffectDataDecode decoded = DecodeEffectDataKeys(content->block.otherKeys);
    QCOMPARE(decoded.problems, QStringList());
    QCOMPARE(decoded.otherKeys, KeltoKeys({ { "Zukunft", "1" } }));
    data.remove(QStringLiteral("unbenutzt"));
    for (EffectData& stored : data)
        stored.stock.reset(); // the store's, not the show's
    QCOMPARE(decoded.data, data);
}

void TestEffects::refusesBadEffectDataKeys_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("problem");
    QTest::newRow("too few fields")
        << "Effektdaten 001"
        << "Vulkan;Vulkan;1;2"
        << "Effektdaten 001: ein Name und 8 Felder, getrennt durch „;“, erwartet.";
    QTest::newRow("number out of range") << "Effektdaten 171"
                                         << "Vulkan;;;;;;;;"
                                         << "Effektdaten 171: die Nummer geht von 001 bis 170.";
    QTest::newRow("no name") << "Effektdaten 001"
                             << " ;;;;;;;;"
                             << "Effektdaten 001: Ein Effekt braucht einen Namen.";
    QTest::newRow("decimal comma") << "Effektdaten 001"
                                   << "Vulkan;;;2,5;;;;;"
                                   << "Effektdaten 001: Vorlauf „2,5“ ist keine Zahl.";
    QTest::newRow("two decimals") << "Effektdaten 001"
                                  << "Vulkan;;;2.55;;;;;"
                                  << "Effektdaten 001: Vorlauf „2.55“ ist keine Zahl.";
    QTest::newRow("over range")
        << "Effektdaten 001"
        << "Vulkan;;301;130.0;;;;;"
        << "Effektdaten 001: Kaliber 301 mm liegt über 300 mm. Vorlauf 130,0 s liegt über 120 s.";
    QTest::newRow("huge") << "Effektdaten 001"
                          << "Vulkan;;;;;;;999999999.9;"
                          << "Effektdaten 001: NEM 999.999.999,9 g liegt über 100 kg.";
    QTest::newRow("unknown art")
        << "Effektdaten 001"
        << "Vulkan;Rakete;;;;;;;F9"
        << "Effektdaten 001: Art „Rakete“ ist keine von Bombe, Bombette, Kometen, Batterie, Fächer, Vulkan, "
           "Fontäne, Römisches Licht, Mine oder Sonstiges. Klasse „F9“ ist keine von F2, F3, F4, T1 oder T2.";
}

void TestEffects::refusesBadEffectDataKeys()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, problem);
    const KeltoKeys keys { { key, value },
        { QStringLiteral("Effektdaten 002"), QStringLiteral("Vulkan;;;;;;;;") },
        { QStringLiteral("Effektdaten 003"), QStringLiteral("Vulkan;;;;;;;;") },
        { QStringLiteral("Effektdaten x"), QStringLiteral("kept") } };
    const EffectDataDecode decoded = DecodeEffectDataKeys(keys);
    QCOMPARE(decoded.problems,
        QStringList({ problem, "Effektdaten 003: „Vulkan“ hat schon Daten (Effektdaten 002)." }));
    QCOMPARE(decoded.data.keys(), QStringList({ "Vulkan" }));
    QCOMPARE(decoded.otherKeys, KeltoKeys({ { "Effektdaten x", "kept" } }));
}

void TestEffects::documentKeepsDataThroughFileAndUndo()
{
    ListDocument document;
    document.reset(showOf({ Vulkan.name, QString(), QString() }));
    // Chosen from the catalogue: the name and its data in one step, without the store's stock.
    QVERIFY(document.chooseEffect(document.revision(), 1, Bombe));
    QCOMPARE(document.undoStack().count(), 1);
    QCOMPARE(document.list().effects[1], Bombe.name);
    EffectData kept = Bombe;
    kept.stock.reset();
    QCOMPARE(document.meta().effectData.value(Bombe.name), kept);
    EffectData faster = Vulkan;
    faster.prefireTenths = 5;
    faster.stock = 4;
    QVERIFY(document.setEffectData(document.revision(), { faster }, QStringLiteral("Katalogwerte")));
    EffectData bad = Kometen;
    bad.prefireTenths = 1300;
    const quint64 before = document.revision();
    QVERIFY(!document.setEffectData(before, { bad }, QStringLiteral("zu viel")));
    QCOMPARE(document.revision(), before);

    // Saved and read back on a computer without this catalogue: the same data, a newer key beside it.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("show.fsl"));
    ListMeta meta = document.meta();
    meta.otherKeys.append({ QStringLiteral("Zukunft"), QStringLiteral("1") });
    QString error;
    QVERIFY(WriteListFile(path, document.list(), meta, &error));
    const QByteArray bytes = readFile(path);
    ShotList plain = document.list();
    for (QString& effect : plain.effects)
        effect.clear();
    QVERIFY(bytes.startsWith(ShotListFileBytes(ListFileSignature, QString(), plain)));
    QVERIFY(bytes.contains("Effektdaten 001=Vulkan;Vulkan;;0.5;30.0;;15;;F2\r\n"
                           "Effektdaten 002=Bombe 75 mm rot;Bombe;75;3.2;2.5;80;60;45.0;F3\r\n"
                           "Zukunft=1\r\n"));
    const ListFileRead read = ReadListFile(path);
    QVERIFY(read.ok());
    QCOMPARE(ListReadNotes(read), QString());
    QCOMPARE(read.meta.effectData, document.meta().effectData);
    QCOMPARE(read.meta.otherKeys, meta.otherKeys);
    QCOMPARE(ListFileBytes(read.list, read.meta, path), bytes);

    // Undo takes the data back with its step.
    document.undo();
    QCOMPARE(document.meta().effectData.value(Vulkan.name).prefireTenths, std::optional<qint32>());
    document.undo();
    QCOMPARE(document.list().effects[1], QString());
    QVERIFY(document.meta().effectData.isEmpty());
}

void TestEffects::refusedDataIsToldOnReading()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("alt.fsl"));
    KeltoBlock block;
    block.otherKeys = { { QStringLiteral("Effektdaten 001"), QStringLiteral("Vulkan;;;130.0;;;;;") },
        { QStringLiteral("Effektdaten 002"), QStringLiteral("Bombe 75 mm rot;Bombe;75;;;;;;") } };
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(ShotListFileBytes(ListFileSignature, QString(), showOf({ Vulkan.name, Bombe.name }), block));
    file.close();
    const ListFileRead read = ReadListFile(path);
    QVERIFY(read.ok());
    QCOMPARE(read.meta.effectData.keys(), QStringList({ Bombe.name }));
    QCOMPARE(ListReadNotes(read),
        QStringLiteral("Nicht übernommene Effektdaten:\nEffektdaten 001: Vorlauf 130,0 s liegt über 120 s."));
}

KELTO_TEST_MAIN(TestEffects)
#include "tst_effects.moc"
