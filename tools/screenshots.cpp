// Shows the window with a small demo show and saves a picture of each tab page:
//   kelto-screenshots <folder>
#include "effects/effect_catalogue.h"
#include "files/fsl_file.h"
#include "form1.h"
#include "import_dialog.h"
#include "music/waveform_reader.h"
#include "rehearsal_page.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>

namespace {

ShotList demoShow(int entries)
{
    ShotList list = ShotList::startup();
    const int gaps[] = { 5, 12, 3, 30, 8, 10, 7, 15, 4, 60, 2, 9, 20, 6 };
    for (int k = 0; k < entries; ++k) {
        list.times[k] = k == 0 ? 0 : list.times[k - 1] + gaps[(k - 1) % 14];
        list.circuits[k] = qint16((k % 4) * 32 + k / 4);
    }
    return list;
}

// The import preview of a show-design export, taken as it is, and refused with a long report.
bool importPreviews(const QString& out)
{
    QString finale
        = QStringLiteral("FIRING_HEADER_ROW,Time Cue Number,Ignition Event Time,Duration,Prefire Delay,"
                         "Effect Name,Module Description,Module Address,Pin Address\r\n");
    const char* effects[] = { "Vulkan gold 30 s", "Kometen rot 50 mm", "Bombe 75 mm Chrysantheme blau",
        "Batterie 49 Schuss Fächer", "Fontäne silber", "Bombe 100 mm Weide gold" };
    for (int i = 0; i < 24; ++i)
        finale += QStringLiteral("FIRING_DATA_ROW,%1,00:%2:%3.%4s,4.50s,2.00s,%5,Module %6,%6,%7\r\n")
                      .arg(i + 1)
                      .arg(i * 17 / 60, 2, 10, QLatin1Char('0'))
                      .arg(i * 17 % 60, 2, 10, QLatin1Char('0'))
                      .arg(i % 4 == 0 ? QStringLiteral("50") : QStringLiteral("00"))
                      .arg(QString::fromUtf8(effects[i % 6]))
                      .arg(1 + i / 12)
                      .arg(1 + i % 12);
    CsvImportOptions fromOne;
    fromOne.circuitsFrom = 1;
    const QByteArray bytes = finale.toUtf8();
    ImportDialog taken(QStringLiteral("CSV importieren"), QStringLiteral("/home/crew/Shows/Hafen/finale.csv"),
        fromOne, [bytes](const CsvImportOptions& options) { return ReadShotListCsv(bytes, options); });
    taken.show();
    QTest::qWait(100);
    if (!taken.grab().save(QDir(out).filePath(QStringLiteral("import-vorschau.png"))))
        return false;

    QByteArray wide = "Nr;Zeit;Sekunden;Modul;Pin;Cue";
    for (int i = 0; i < 30; ++i)
        wide += ";Zusatzspalte mit langem Namen " + QByteArray::number(i + 1);
    wide += "\n";
    for (int row = 0; row < 80; ++row)
        wide += QByteArray::number(row + 1) + ";0:" + QByteArray::number(10 + row % 50) + ";"
            + QByteArray::number(row * 3) + ";8;" + QByteArray::number(row % 33) + ";"
            + QByteArray::number(row + 1) + QByteArray(30, ';') + "\n";
    ImportDialog refused(QStringLiteral("CSV importieren"),
        QStringLiteral("/home/crew/Shows/Hafen/Entwürfe/tabelle_aus_der_tabellenkalkulation_version_2.csv"),
        CsvImportOptions(),
        [wide](const CsvImportOptions& options) { return ReadShotListCsv(wide, options); });
    refused.show();
    QTest::qWait(100);
    return refused.grab().save(QDir(out).filePath(QStringLiteral("import-abgelehnt.png")));
}

// Music as long as the demo show for the page "Probelauf": a beat under chords that swell towards a
// loud finale, as 16-bit mono WAV.
bool writeDemoMusic(const QString& path)
{
    constexpr int rate = 8000;
    constexpr int seconds = 390;
    QByteArray samples;
    QDataStream out(&samples, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    for (int i = 0; i < rate * seconds; ++i) {
        const double t = double(i) / rate;
        const double beat = std::exp(-10 * std::fmod(t, 0.5));
        const double phrase = 0.5 + 0.5 * std::sin(2 * M_PI * t / 40);
        const double swell = 0.15 + 0.35 * phrase * phrase + 0.5 * std::max(0.0, (t - 300) / 90);
        const double tone = std::sin(2 * M_PI * 220 * t) + 0.5 * std::sin(2 * M_PI * 330 * t);
        out << qint16(
            std::clamp(12000 * (swell * tone * (0.6 + 0.4 * beat) + 0.3 * beat * std::sin(2 * M_PI * 60 * t)),
                -32767.0, 32767.0));
    }
    QByteArray wav;
    QDataStream header(&wav, QIODevice::WriteOnly);
    header.setByteOrder(QDataStream::LittleEndian);
    header.writeRawData("RIFF", 4);
    header << quint32(36 + samples.size());
    header.writeRawData("WAVEfmt ", 8);
    header << quint32(16) << quint16(1) << quint16(1) << quint32(rate) << quint32(rate * 2) << quint16(2)
           << quint16(16);
    header.writeRawData("data", 4);
    header << quint32(samples.size());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(wav + samples) == wav.size() + samples.size();
}

EffectData article(const char* name, EffectArt art, int caliber, int prefire, int duration, int height,
    int distance, int nem, EffectClass effectClass, int stock)
{
    EffectData data;
    data.name = QString::fromUtf8(name);
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

// The user's catalogue of the demo: the list's effects and a few more; the fan is short in store.
EffectCatalogue demoCatalogue()
{
    EffectCatalogue catalogue;
    const EffectData articles[] = {
        article("Vulkan gold", EffectArt::Vulkan, 0, 2, 300, 6, 8, 450, EffectClass::F2, 12),
        article("Kometen rot 50 mm", EffectArt::Kometen, 50, 5, 25, 40, 25, 1200, EffectClass::F3, 6),
        article("Bombe 75 mm Chrysantheme", EffectArt::Bombe, 75, 8, 45, 75, 60, 1850, EffectClass::F4, 10),
        article("Feuertopf grün", EffectArt::Mine, 0, 32, 50, 30, 25, 900, EffectClass::F3, 4),
        article("Fächer 5 Schuss silber", EffectArt::Faecher, 30, 10, 55, 35, 30, 2400, EffectClass::F3, 1),
        article(
            "Batterie 25 Schuss Palmen", EffectArt::Batterie, 30, 15, 250, 45, 40, 5000, EffectClass::F3, 3),
        article("Römisches Licht 8 Kugeln", EffectArt::RoemischesLicht, 20, 5, 120, 25, 15, 350,
            EffectClass::F2, 20),
        article("Bombette 50 mm blau", EffectArt::Bombette, 50, 28, 30, 50, 40, 950, EffectClass::F4, 8),
        article("Fontäne weiß", EffectArt::Fontaene, 0, 1, 400, 4, 8, 600, EffectClass::F2, 15),
    };
    for (const EffectData& data : articles)
        catalogue.add(data);
    return catalogue;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString out
        = QDir().absoluteFilePath(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    QDir().mkpath(out);

    // A show folder with a few lists, opened as the current folder.
    QTemporaryDir home;
    const QString shows = home.filePath(QStringLiteral("Feuerwerk/Silvester"));
    QDir().mkpath(shows);
    QDir().mkpath(home.filePath(QStringLiteral("Feuerwerk/Sommerfest")));
    const QString signature = QStringLiteral("Feuerwerk-Schussliste Pelorandistrake");
    const QStringList comments { QStringLiteral("Probe Hafenbecken"),
        QStringLiteral("Silvester 2026 – Hafen, Teil 1"), QStringLiteral("Silvester 2026 – Hafen, Finale") };
    for (int i = 0; i < comments.size(); ++i) {
        const QByteArray bytes = ShotListFileBytes(signature, comments[i], demoShow(8 + 10 * i));
        SaveBytes(QDir(shows).filePath(QStringLiteral("fw_%1.fsl").arg(i, 3, 10, QLatin1Char('0'))), bytes,
            nullptr);
    }
    QDir::setCurrent(shows);
    // No remembered folder of the user's own in the pictures.
    qputenv("temp", QFile::encodeName(home.path()));
    const EffectCatalogue catalogue = demoCatalogue();
    QString error;
    if (!WriteCatalogueFile(CatalogueFilePath(home.path() + QLatin1Char('/')), catalogue, &error))
        return 1;

    Form1 window;
    // One circuit fired twice, as the editing page points it out.
    ShotList shown = demoShow(28);
    shown.circuits[9] = shown.circuits[4];
    // What the crew loads on some of them.
    const char* effects[] = { "Vulkan gold", "Kometen rot 50 mm", "", "Bombe 75 mm Chrysantheme", "",
        "Feuertopf grün", "Fächer 5 Schuss silber", "" };
    for (int k = 0; k < 8; ++k)
        shown.effects[k] = QString::fromUtf8(effects[k]);
    // Some effects with Vorlauf and Dauer, tapped to the music: drawn where they are seen.
    ListMeta withData;
    const int tapped[] = { 3, 5, 6, 11, 12 };
    for (int k : { 3, 5, 6 }) {
        EffectData data = *catalogue.find(shown.effects[k]);
        data.stock.reset();
        data.prefireTenths = 8 + 12 * (k % 3);
        data.durationTenths = 25 + 5 * k;
        withData.effectData.insert(data.name, data);
    }
    for (int k : tapped) {
        if (k > 6)
            shown.effects[k] = shown.effects[k - 6];
        const EffectData& data = withData.effectData[shown.effects[k]];
        shown.targets[k] = shown.times[k] * 1000 + *data.prefireTenths * 100 + 3000 + (k * 170) % 700 - 350;
    }
    window.document().reset(shown, withData);
    const QString music = QDir(shows).filePath(QStringLiteral("Finale.wav"));
    if (!writeDemoMusic(music))
        return 1;
    QSignalSpy read(window.Rehearsal->WaveReader1, &WaveformReader::finished);
    window.document().setMusic(window.document().revision(), music);
    window.document().setMusicStart(window.document().revision(), -30);
    if (!read.wait(20000))
        return 1;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;

    // Each page at the default size, then maximised on the screen.
    const QStringList names { "page-kommunikation", "page-datei", "page-bearbeiten", "page-probelauf",
        "page-effekte" };
    const QSize screen = window.screen()->availableGeometry().size();
    for (const QString& suffix : { QString(), QStringLiteral("-max") }) {
        if (!suffix.isEmpty()) {
            window.setWindowState(Qt::WindowMaximized);
            window.resize(screen);
            QTest::qWait(200);
        }
        for (int page = 0; page < int(names.size()); ++page) {
            window.SSTab1->setCurrentIndex(page);
            if (page == 1)
                window.File1->setCurrentRow(window.File1->count() - 1);
            if (page == 2)
                window.List2->setCurrentRow(6);
            if (page == 3) {
                window.Rehearsal->Combo3->setCurrentIndex(1);
                window.Rehearsal->Check1->setChecked(true);
                window.Rehearsal->Combo20->setEditText(QStringLiteral("Bombe 75 mm Chrysantheme"));
                window.Rehearsal->Picture1_Click(41.4, -1);
                window.Rehearsal->Picture1_Click(0, 9);
            }
            QTest::qWait(300);
            if (!window.grab().save(QDir(out).filePath(names[page] + suffix + QStringLiteral(".png"))))
                return 1;
        }
    }

    // A receive in progress: the transfer frame over the page, the count above the list.
    window.setWindowState(Qt::WindowNoState);
    window.resize(633, 465);
    window.SSTab1->setCurrentIndex(0);
    window.List1->clear();
    window.Label1->setText(QStringLiteral("612 / 68,"));
    window.Frame2->show();
    QTest::qWait(100);
    if (!window.grab().save(QDir(out).filePath(QStringLiteral("receiving.png"))))
        return 1;
    window.Frame2->hide();
    return importPreviews(out) ? 0 : 1;
}
