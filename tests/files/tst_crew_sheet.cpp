#include "effects/material_list.h"
#include "files/crew_sheet.h"
#include "pdf_text.h"
#include "shot_list_fixtures.h"
#include "test_main.h"

#include <QDir>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Every device, times up to 18 hours, one entry without circuit.
ShotList fullList()
{
    ShotList list = ShotList::startup();
    for (int i = 0; i < EntryCount; ++i) {
        list.times[i] = i * 383;
        list.circuits[i] = qint16((i * 37) % 255);
    }
    list.circuits[5] = NoCircuit;
    return list;
}

CrewSheet sheetOf(const ShotList& list)
{
    return { list, QStringLiteral("show.fsl"), QStringLiteral("Silvester am See"),
        QDateTime(QDate(2024, 12, 31), QTime(18, 5)), QString(), 0, {}, std::nullopt };
}

const QStringList Effects { QStringLiteral("Kometen rot 50 mm"),
    QStringLiteral("Römisches Licht Silberweide mit Goldschweif und Knister"), QString(60, QLatin1Char('X')),
    QString() };

EffectData effectData(const QString& name, EffectArt art, int caliber, EffectClass effectClass,
    std::optional<qint32> nemTenths, int safety, int height)
{
    EffectData data;
    data.name = name;
    data.art = art;
    data.caliberMm = caliber;
    data.effectClass = effectClass;
    data.nemTenthsGram = nemTenths;
    data.safetyDistanceM = safety;
    data.heightM = height;
    return data;
}

// Six shots of three effects, one of them without data; stock short for "Kometen rot".
CrewSheet materialSheet(bool withCatalogue)
{
    CrewSheet sheet = sheetOf(SpacedList(6, 10, { 1 }));
    const QStringList names { QStringLiteral("Kometen rot"), QStringLiteral("Bombe 75 Goldweide"),
        QStringLiteral("Vulkan") };
    for (int slot = 0; slot < 6; ++slot)
        sheet.list.effects[slot] = names[slot % 3];
    const EffectData comets = effectData(names[0], EffectArt::Kometen, 30, EffectClass::F2, 125, 15, 30);
    const EffectData shell = effectData(names[1], EffectArt::Bombe, 75, EffectClass::F3, 2500, 60, 120);
    sheet.effectData = { { comets.name, comets }, { shell.name, shell } };
    if (withCatalogue) {
        EffectCatalogue catalogue;
        EffectData stocked = comets;
        stocked.stock = 1;
        catalogue.add(stocked);
        stocked = shell;
        stocked.stock = 10;
        catalogue.add(stocked);
        sheet.stockFrom = catalogue;
    }
    return sheet;
}

QString stripped(QString text) { return text.remove(QRegularExpression(QStringLiteral("\\s+"))); }

// The text in the order it was drawn, so a wrapped cell reads as one piece.
QString pdfRawText(const QString& pdf)
{
    QProcess process;
    process.start(QStandardPaths::findExecutable(QStringLiteral("pdftotext")),
        { QStringLiteral("-raw"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf,
            QStringLiteral("-") });
    return process.waitForFinished(30000) ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
}

struct Written {
    QStringList pages;
    QString raw;
};

// Painted as the print dialog would, on the paper given; A4 by default.
Written writtenSheet(const CrewSheet& sheet, QPageSize::PageSizeId size = QPageSize::A4,
    QPageLayout::Orientation orientation = QPageLayout::Portrait)
{
    static int count = 0;
    const QString path = QDir::current().filePath(QStringLiteral("sheet%1.pdf").arg(++count));
    int pages = 0;
    {
        QPdfWriter writer(path);
        writer.setPageLayout(QPageLayout(QPageSize(size), orientation, QMarginsF(15, 12, 15, 12)));
        pages = PaintCrewSheet(writer, sheet);
    }
    const Written written { PdfPages(path), pdfRawText(path) };
    if (written.pages.size() != pages)
        qWarning("%d pages painted, %d in the file", pages, int(written.pages.size()));
    return pages == written.pages.size() ? written : Written();
}

// All numbers in text, after dropping clock times and axis labels.
QList<int> numbersIn(QString text)
{
    text.remove(QRegularExpression(QStringLiteral("\\d+:\\d+(:\\d+)?( h)?|\\d+ min")));
    QList<int> numbers;
    QRegularExpressionMatchIterator it = QRegularExpression(QStringLiteral("\\d+")).globalMatch(text);
    while (it.hasNext())
        numbers.append(it.next().captured().toInt());
    return numbers;
}

} // namespace

class TestCrewSheet : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fullListPdfHoldsEveryEntryAndSection()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("plan.pdf"));
        const ShotList list = fullList();
        QString error;
        QVERIFY2(WriteCrewSheetPdf(path, sheetOf(list), &error), qPrintable(error));
        const QStringList pages = PdfPages(path);
        QVERIFY(pages.size() > 2);
        const QString all = pages.join(QLatin1Char('\n'));

        for (int page = 0; page < pages.size(); ++page) {
            QVERIFY(pages[page].contains(QStringLiteral("Seite %1 von %2").arg(page + 1).arg(pages.size())));
            QVERIFY(pages[page].contains(QStringLiteral("show.fsl – Silvester am See")));
            QVERIFY(pages[page].contains(QStringLiteral("gedruckt am 31.12.2024 18:05")));
        }
        QVERIFY(pages[0].contains(QStringLiteral("Anzahl Schüsse: 170")));
        QVERIFY(pages[0].contains(QStringLiteral("Zeitdauer: 17:58:47")));
        QVERIFY(pages[0].contains(QStringLiteral("Zeitleiste")));

        // One table row per entry: number, time, gap, device, circuit.
        for (int slot = 0; slot < EntryCount; ++slot) {
            const int code = list.circuits[slot];
            const QString gap = slot + 1 < EntryCount ? QStringLiteral("383") : QStringLiteral("–");
            const QString firing = code == NoCircuit ? QStringLiteral("kein Zündkreis\\s+–")
                                                     : QRegularExpression::escape(DeviceName(code / 32))
                    + QStringLiteral("\\s+%1").arg(code % 32, 2, 10, QLatin1Char('0'));
            const QRegularExpression row(QStringLiteral("(^|\\n)\\s*%1\\s+%2\\s+%3\\s+%4")
                                             .arg(slot + 1)
                                             .arg(FormatClock(list.times[slot]), gap, firing));
            QVERIFY2(row.match(all).hasMatch(), qPrintable(row.pattern()));
            if (code != NoCircuit) {
                QVERIFY2(all.contains(
                             QStringLiteral("Nr. %1 (%2").arg(slot + 1).arg(FormatClock(list.times[slot]))),
                    qPrintable(QString::number(slot + 1)));
            }
        }
        for (int device = 0; device < 8; ++device)
            QVERIFY(all.contains(QStringLiteral("Zündgerät ") + DeviceName(device)));
        QVERIFY(all.contains(QStringLiteral("über H")));
        QVERIFY(all.contains(QStringLiteral("frei")));
    }

    // Each entry has its table row and its line in the wiring plan, with its effect, however tall a
    // circuit's row gets; no page carries anything below its "Seite x von y".
    void everyEntryAndEffectAboveTheFoot_data()
    {
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<int>("gap");
        QTest::addColumn<int>("paper");
        QTest::addColumn<bool>("landscape");
        QTest::newRow("170 entries on one circuit") << QList<int> { 5 } << 2 << int(QPageSize::A4) << false;
        QTest::newRow("170 entries on one H circuit, also B and C, A5")
            << QList<int> { 7 * 32 + 3 } << 2 << int(QPageSize::A5) << false;
        QTest::newRow("every device, no circuit, Letter landscape")
            << QList<int> { 0, 33, 255, 66, 99, 132, 165, 198, 231 } << 383 << int(QPageSize::Letter) << true;
    }
    void everyEntryAndEffectAboveTheFoot()
    {
        QFETCH(QList<int>, codes);
        QFETCH(int, gap);
        QFETCH(int, paper);
        QFETCH(bool, landscape);
        ShotList list = SpacedList(EntryCount, gap, codes);
        for (int slot = 0; slot < EntryCount; ++slot)
            list.effects[slot] = Effects[slot % Effects.size()];
        const Written sheet = writtenSheet(sheetOf(list), QPageSize::PageSizeId(paper),
            landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
        QVERIFY(sheet.pages.size() > 3);

        for (int page = 0; page < sheet.pages.size(); ++page) {
            const QStringList lines = sheet.pages[page].trimmed().split(QLatin1Char('\n'));
            QCOMPARE(lines.last().trimmed(),
                QStringLiteral("Seite %1 von %2").arg(page + 1).arg(sheet.pages.size()));
            QCOMPARE(sheet.pages[page].count(QStringLiteral("Seite ")), 1);
        }
        const QString all = sheet.pages.join(QLatin1Char('\n'));
        const QString wiring = stripped(sheet.raw.mid(sheet.raw.indexOf(QStringLiteral("Verkabelung"))));
        const QString table = stripped(sheet.raw.left(sheet.raw.indexOf(QStringLiteral("Verkabelung"))));
        QVERIFY(table.contains(QStringLiteral("KreisEffektgeladen")));
        for (int slot = 0; slot < EntryCount; ++slot) {
            const qint16 code = list.circuits[slot];
            const QString time = FormatClock(list.times[slot]);
            const QString effect = stripped(list.effects[slot]);
            const QString device = code == NoCircuit ? QStringLiteral("keinZündkreis–")
                                                     : stripped(DeviceName(code / 32))
                    + QStringLiteral("%1").arg(code % 32, 2, 10, QLatin1Char('0'));
            const QRegularExpression row(
                QStringLiteral("%1%2(\\d+|–)%3(doppeltbelegt)?%4")
                    .arg(slot + 1)
                    .arg(time, QRegularExpression::escape(device), QRegularExpression::escape(effect)));
            QVERIFY2(row.match(table).hasMatch(), qPrintable(row.pattern()));
            if (code == NoCircuit)
                continue;
            const QString own = QStringLiteral("Nr.%1(%2)%3").arg(slot + 1).arg(time, effect);
            QVERIFY2(wiring.contains(own), qPrintable(own));
            if (code / 32 == 7) {
                const QString viaH = QStringLiteral("Nr.%1(%2,überH)%3").arg(slot + 1).arg(time, effect);
                QCOMPARE(wiring.count(viaH), 2);
            }
        }
        QVERIFY(!all.contains(QStringLiteral("Nr. 171")));
    }

    // The line: "Kreis 05  Nr. 5 (00:00:22)  Kometen rot 50 mm", on one line of the plan.
    void effectStandsBesideItsCircuit()
    {
        ShotList list = SpacedList(5, 5, { 1, 2, 3, 4, 5 });
        list.times[4] = 22;
        list.effects[4] = QStringLiteral("Kometen rot 50 mm");
        const Written sheet = writtenSheet(sheetOf(list));
        const QRegularExpression line(
            QStringLiteral("Kreis 05\\s+Nr\\. 5 \\(00:00:22\\)\\s+Kometen rot 50 mm\\s+Kreis 21"));
        QVERIFY(line.match(sheet.pages.join(QLatin1Char('\n'))).hasMatch());
        QVERIFY(QRegularExpression(
            QStringLiteral("\\n\\s*5\\s+00:00:22\\s+–\\s+A \\(Brenzor\\)\\s+05\\s+Kometen rot 50 mm\\n"))
                    .match(sheet.pages.join(QLatin1Char('\n')))
                    .hasMatch());
    }

    void wholeCommentAndMusicOnPageOne_data()
    {
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QString>("music");
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("musicLine");
        const QString rain = QStringLiteral("Sicherheitsabstand 50 m zu allen Zuschauern; Kontakt "
                                            "Einsatzleitung Frau Berger, Telefon 0171 2345678. "
                                            "Bei Regen: Zündanlage unter der Plane lassen, Rohre abdecken "
                                            "und erst nach Freigabe zünden. Ende.");
        QTest::newRow("long comment, music before the sequence")
            << rain << QStringLiteral("/shows/musik/finale.mp3") << -30
            << QStringLiteral("Musik: finale.mp3, Beginn −3,0 s");
        QTest::newRow("music after the start, a percent sign in its name")
            << QStringLiteral("Probe") << QStringLiteral("/m/Finale 100%2.ogg") << 25
            << QStringLiteral("Musik: Finale 100%2.ogg, Beginn 2,5 s");
        QTest::newRow("no music") << rain << QString() << 0 << QString();
    }
    void wholeCommentAndMusicOnPageOne()
    {
        QFETCH(QString, comment);
        QFETCH(QString, music);
        QFETCH(int, start);
        QFETCH(QString, musicLine);
        CrewSheet sheet = sheetOf(SpacedList(20, 10, { 1 }));
        sheet.comment = comment;
        sheet.musicPath = music;
        sheet.musicStartTenths = start;
        const Written written = writtenSheet(sheet);
        const QString firstPage = stripped(written.raw.left(written.raw.indexOf(QLatin1Char('\f'))));
        QVERIFY(firstPage.contains(stripped(comment)));
        const QStringList lines = written.pages[0].split(QLatin1Char('\n'));
        if (!musicLine.isEmpty())
            QVERIFY(lines.contains(musicLine));
        QVERIFY(!written.pages.mid(musicLine.isEmpty() ? 0 : 1)
                     .join(QString())
                     .contains(QStringLiteral("Musik:")));
        for (const QString& page : written.pages) // the header line
            QVERIFY(page.trimmed().startsWith(QStringLiteral("show.fsl – ") + comment.left(20)));
    }

    // Every entry is found on the Zeitleiste: its number in the picture, or in the legend below it.
    void legendNamesEveryEntryWithoutNumber_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("gap");
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<bool>("legend");
        QTest::newRow("170 shots a second apart") << 170 << 1 << QList<int> { 0, 1, 2 } << true;
        QTest::newRow("two devices, dense") << 170 << 3 << QList<int> { 0, 7 * 32 } << true;
        QTest::newRow("sparse") << 20 << 60 << QList<int> { 0, 32, 255 } << false;
    }
    void legendNamesEveryEntryWithoutNumber()
    {
        QFETCH(int, count);
        QFETCH(int, gap);
        QFETCH(QList<int>, codes);
        QFETCH(bool, legend);
        const Written sheet = writtenSheet(sheetOf(SpacedList(count, gap, codes)));
        const QString all = sheet.pages.join(QLatin1Char('\n'));
        const int pictureAt = all.indexOf(QStringLiteral("\nZeitleiste"));
        const int legendAt = all.indexOf(QStringLiteral("\nLegende"));
        const int tableAt = all.indexOf(QStringLiteral("\nZündfolge"));
        QVERIFY(pictureAt > 0 && tableAt > pictureAt);
        QCOMPARE(legendAt > 0, legend);
        const QString picture = all.mid(pictureAt, (legend ? legendAt : tableAt) - pictureAt);
        const QList<int> inPicture = numbersIn(picture);
        const QList<int> inLegend = legend ? numbersIn(all.mid(legendAt, tableAt - legendAt)) : QList<int>();
        for (int n = 1; n <= count; ++n)
            QVERIFY2(inPicture.contains(n) || inLegend.contains(n), qPrintable(QString::number(n)));
        for (int n : inPicture + inLegend)
            QVERIFY2(n >= 1 && n <= count, qPrintable(QString::number(n)));
        if (legend)
            QVERIFY(inPicture.size() < count);
    }

    void sectionsOnlyForDevicesInUse_data()
    {
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QStringList>("sections");
        QTest::newRow("start-up list") << QList<int> { 255 } << QStringList {};
        QTest::newRow("A only") << QList<int> { 3 } << QStringList { "A (Brenzor)" };
        QTest::newRow("H brings B and C")
            << QList<int> { 7 * 32 + 4 }
            << QStringList { "B (Verteiler)", "C (Verteiler)", "H (alle Verteiler)" };
    }
    void sectionsOnlyForDevicesInUse()
    {
        QFETCH(QList<int>, codes);
        QFETCH(QStringList, sections);
        ShotList list = ShotList::startup();
        for (int i = 0; i < codes.size(); ++i) {
            list.times[i] = i * 10;
            list.circuits[i] = qint16(codes[i]);
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("plan.pdf"));
        QString error;
        QVERIFY(WriteCrewSheetPdf(path, sheetOf(list), &error));
        const QString all = PdfPages(path).join(QLatin1Char('\n'));
        QVERIFY(all.contains(QStringLiteral("Seite 1 von")));
        for (int device = 0; device < 8; ++device) {
            QCOMPARE(all.contains(QStringLiteral("Zündgerät ") + DeviceName(device)),
                sections.contains(DeviceName(device)));
        }
    }

    // Per effect name its count and data, unknown values as "?", stock short in bold with what is
    // missing; then the totals a check prints.
    void materialSectionListsEveryEffect_data()
    {
        QTest::addColumn<bool>("withCatalogue");
        QTest::addColumn<bool>("otherArticles"); // the catalogue knows none of the list's effects
        QTest::addColumn<QStringList>("rows"); // patterns, each on one line of the page
        QTest::addColumn<QStringList>("totals"); // whole lines
        const QStringList totals { QStringLiteral("Material: 6 Stück, 3 Effekte"),
            QStringLiteral("NEM gesamt: 525,0 g (F2 25,0 g · F3 500,0 g) – unvollständig: 2 Schüsse ohne "
                           "NEM-Angabe"),
            QStringLiteral("größter Sicherheitsabstand: 60 m"), QStringLiteral("größte Steighöhe: 120 m"),
            QStringLiteral("ohne Effektdaten: „Vulkan“ (Nr. 3, 6)") };
        QTest::newRow("with stock") << true << false
                                    << QStringList { "Bombe 75 Goldweide 2 Bombe 75 F3 250,0 500,0 60 10",
                                           "Kometen rot 2 Kometen 30 F2 12,5 25,0 15 1, fehlt 1",
                                           "Vulkan 2 keine Daten \\? \\? \\? \\? \\? \\?" }
                                    << totals
                + QStringList { QStringLiteral("Bestand reicht nicht für 1 Effekt, es fehlt 1 Stück (fett in "
                                               "der Spalte Bestand)") };
        QTest::newRow("without a catalogue")
            << false << false
            << QStringList { "Bombe 75 Goldweide 2 Bombe 75 F3 250,0 500,0 60\\n",
                   "Kometen rot 2 Kometen 30 F2 12,5 25,0 15\\n",
                   "Vulkan 2 keine Daten \\? \\? \\? \\? \\?\\n" }
            << totals;
        QTest::newRow("a catalogue without the list's effects")
            << true << true
            << QStringList { "Bombe 75 Goldweide 2 Bombe 75 F3 250,0 500,0 60\\n",
                   "Kometen rot 2 Kometen 30 F2 12,5 25,0 15\\n",
                   "Vulkan 2 keine Daten \\? \\? \\? \\? \\?\\n" }
            << totals;
    }
    void materialSectionListsEveryEffect()
    {
        QFETCH(bool, withCatalogue);
        QFETCH(bool, otherArticles);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, totals);
        CrewSheet crewSheet = materialSheet(withCatalogue);
        if (otherArticles) {
            EffectCatalogue catalogue;
            catalogue.add(
                effectData(QStringLiteral("Vulkan grün"), EffectArt::Vulkan, 50, EffectClass::F2, 10, 8, 5));
            crewSheet.stockFrom = catalogue;
        }
        const bool stock = withCatalogue && !otherArticles;
        const Written sheet = writtenSheet(crewSheet);
        QVERIFY(!sheet.pages.isEmpty());
        const QString all = sheet.pages.join(QLatin1Char('\n'));
        const int at = all.indexOf(QStringLiteral("\nMaterial\n"));
        QVERIFY(at > all.indexOf(QStringLiteral("\nZündfolge\n")));
        const QString section = all.mid(at, all.indexOf(QStringLiteral("\nVerkabelung"), at) - at);
        QCOMPARE(section.contains(QStringLiteral("Bestand")), stock);
        for (const QString& row : rows) {
            QString pattern = row;
            pattern.replace(QLatin1Char(' '), QStringLiteral("[\\s\\x{00A0}]+"));
            QVERIFY2(QRegularExpression(QStringLiteral("\\n\\s*") + pattern).match(section).hasMatch(),
                qPrintable(pattern + QLatin1Char('\n') + section));
        }
        QStringList lines;
        for (const QString& line : section.split(QLatin1Char('\n')))
            lines.append(line.trimmed());
        for (const QString& line : totals)
            QVERIFY2(lines.contains(line), qPrintable(line + QLatin1Char('\n') + section));
        // The totals are those of the check.
        const MaterialList material = ComputeMaterial(
            materialSheet(withCatalogue).list, materialSheet(withCatalogue).effectData, nullptr);
        for (const QString& line : MaterialCheckLines(material).mid(0, 5))
            QVERIFY2(lines.contains(line), qPrintable(line));
        QCOMPARE(section.contains(QStringLiteral("Bestand reicht nicht")), stock);
    }

    void materialSectionWithoutEffects()
    {
        const Written sheet = writtenSheet(sheetOf(SpacedList(3, 10, { 1 })));
        const QString all = sheet.pages.join(QLatin1Char('\n'));
        QVERIFY(QRegularExpression(QStringLiteral("\\nMaterial\\n\\s*Kein Eintrag hat einen Effekt\\.\\n"))
                    .match(all)
                    .hasMatch());
    }

    // 170 effects of their own, with long names: the table goes on over pages with its header on each,
    // every name in it once, nothing below any page's foot, the totals after the last row.
    void materialTableFlowsOverPages_data()
    {
        QTest::addColumn<int>("paper");
        QTest::newRow("A4") << int(QPageSize::A4);
        QTest::newRow("A5") << int(QPageSize::A5);
    }
    void materialTableFlowsOverPages()
    {
        QFETCH(int, paper);
        CrewSheet sheet = sheetOf(SpacedList(EntryCount, 2, { 1, 40, 100 }));
        EffectCatalogue catalogue;
        QStringList names;
        for (int slot = 0; slot < EntryCount; ++slot) {
            const QString name = QStringLiteral("Kometenbatterie %1 Silberweide mit Goldschweif und Knistern")
                                     .arg(slot + 1, 3, 10, QLatin1Char('0'));
            names.append(name);
            sheet.list.effects[slot] = name;
            EffectData data = effectData(name, EffectArt(slot % EffectArtCount), 20 + slot,
                EffectClass(slot % EffectClassCount),
                slot % 7 == 0 ? std::nullopt : std::optional<qint32>(slot * 1000 + 5), 10 + slot, 30);
            sheet.effectData.insert(name, data);
            data.stock = slot % 2;
            catalogue.add(data);
        }
        sheet.stockFrom = catalogue;
        const Written written = writtenSheet(sheet, QPageSize::PageSizeId(paper));
        QVERIFY(written.pages.size() > 3);
        int first = -1;
        int last = -1;
        for (int page = 0; page < written.pages.size(); ++page) {
            const QStringList lines = written.pages[page].trimmed().split(QLatin1Char('\n'));
            QCOMPARE(lines.last().trimmed(),
                QStringLiteral("Seite %1 von %2").arg(page + 1).arg(written.pages.size()));
            if (written.pages[page].contains(QStringLiteral("\nMaterial\n")))
                first = page;
            if (written.pages[page].contains(QStringLiteral("Material: 170 Stück, 170 Effekte")))
                last = page;
        }
        QVERIFY(first >= 0 && last > first);
        // The header on every page of the table (on A5 its words break); the totals page carries the
        // last rows or says it goes on.
        for (int page = first; page <= last; ++page) {
            const QString text = written.pages[page];
            QVERIFY2(QRegularExpression(QStringLiteral("\\nEffekt\\s+Anz")).match(text).hasMatch()
                    || (page == last && text.contains(QStringLiteral("Material (Fortsetzung)"))),
                qPrintable(QString::number(page + 1)));
        }
        const int from = written.raw.indexOf(QStringLiteral("\nMaterial\n"));
        const int to = written.raw.indexOf(QStringLiteral("Material: 170 Stück"));
        QVERIFY(from > 0 && to > from);
        const QString table = stripped(written.raw.mid(from, to - from));
        for (int slot = 0; slot < EntryCount; ++slot) {
            // The name, its count, then its Art.
            const QString row = stripped(names[slot]) + QStringLiteral("1")
                + stripped(EffectArtName(EffectArt(slot % EffectArtCount)));
            QCOMPARE(table.count(row), 1);
        }
        QVERIFY(written.raw.mid(to).contains(
            QStringLiteral("Bestand reicht nicht für 85 Effekte, es fehlen 85 Stück")));
        QVERIFY(stripped(written.raw.mid(to))
                    .contains(stripped(QStringLiteral("ohne NEM-Angabe: „%1“ (Nr. 1)").arg(names[0]))));
    }

    void paintsEveryPageItCounts()
    {
        QTemporaryDir dir;
        QPdfWriter writer(dir.filePath(QStringLiteral("direct.pdf")));
        writer.setPageSize(QPageSize(QPageSize::A4));
        const int pages = PaintCrewSheet(writer, sheetOf(fullList()));
        QVERIFY(pages > 2);
        QCOMPARE(PdfPages(dir.filePath(QStringLiteral("direct.pdf"))).size(), pages);
    }

    void unwritableTargetFailsWithReasonAndNoFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("gone/plan.pdf"));
        QString error;
        QVERIFY(!WriteCrewSheetPdf(path, sheetOf(fullList()), &error));
        // The reason alone, in German; whoever reports it names the file once.
        QCOMPARE(error, QStringLiteral("Die Datei oder der Ordner existiert nicht."));
        QVERIFY(!QFile::exists(path));

        // A folder in the way of the target.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.pdf")));
        error.clear();
        QVERIFY(!WriteCrewSheetPdf(dir.filePath(QStringLiteral("folder.pdf")), sheetOf(fullList()), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("folder.pdf"))).isDir());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
    }
};

KELTO_TEST_MAIN(TestCrewSheet)
#include "tst_crew_sheet.moc"
