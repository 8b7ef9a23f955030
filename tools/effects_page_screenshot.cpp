// Shows the page "Effekte" with a small demo catalogue and saves a picture of it:
//   kelto-effects-screenshot <file.png> [--right]   (--right: the table scrolled to its last columns)
#include "effects/catalogue_store.h"
#include "effects_page.h"
#include "prompter.h"
#include "shotlist/list_document.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const bool right = argc == 3 && QByteArray(argv[2]) == "--right";
    if (argc != 2 && !right) {
        QTextStream(stderr) << "kelto-effects-screenshot <file.png> [--right]\n";
        return 2;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("effektkatalog.csv"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write("\xEF\xBB\xBFName;Art;Kaliber (mm);Vorlauf (s);Dauer (s);Steighöhe (m);Sicherheitsabstand (m);"
               "NEM (g);Klasse;Bestand (Stück)\r\n"
               "Batterie 49 Schuss Fächer;Batterie;30;0,5;25,0;45;40;980,0;F3;2\r\n"
               "Bombe 75 mm Chrysantheme blau;Bombe;75;3,2;2,5;80;60;45,0;F4;10\r\n"
               "Bombe 100 mm Weide gold;Bombe;100;3,8;4,0;110;80;120,0;F4;4\r\n"
               "Bombette rot;Bombette;20;1,5;1,0;30;15;8,5;F2;24\r\n"
               "Fontäne silber;Fontäne;;;30,0;4;8;50,0;F2;6\r\n"
               "Kometen rot 50 mm;Kometen;50;0,5;2,5;40;25;12,5;F3;3\r\n"
               "Mine grün;Mine;45;;1,5;25;30;35,0;F3;\r\n"
               "Römisches Licht 8 Kugeln;Römisches Licht;25;0,8;12,0;35;20;60,0;F2;5\r\n"
               "Vulkan gold 30 s;Vulkan;;;30,0;6;8;90,0;F2;\r\n");
    file.close();
    ListDocument document;
    ShotList list = ShotList::startup();
    const char* effects[] = { "Kometen rot 50 mm", "Bombette rot", "Kometen rot 50 mm",
        "Bombe 100 mm Weide gold", "Kometen rot 50 mm", "Vulkan gold 30 s", "Kometen rot 50 mm",
        "Bombe 75 mm Chrysantheme blau", "Batterie 49 Schuss Fächer" };
    for (int i = 0; i < int(std::size(effects)); ++i) {
        list.times[i] = i * 6;
        list.circuits[i] = qint16(i);
        list.effects[i] = QString::fromUtf8(effects[i]);
    }
    document.reset(list);
    DialogPrompter prompter(nullptr);
    CatalogueStore store(path);
    EffectsPage page(document, prompter, store);
    page.resize(625, 430);
    page.show();
    if (!QTest::qWaitForWindowExposed(&page))
        return 1;
    // A refused value, as the user sees it below the table.
    CatalogueModel& model = store.model();
    model.setData(model.index(model.rowOf(QStringLiteral("Mine grün")), CatalogueModel::PrefireColumn),
        QStringLiteral("130"));
    if (right)
        page.view()->scrollTo(page.view()->model()->index(0, CatalogueModel::ShotsColumn));
    QApplication::processEvents();
    QTest::qWait(50);
    return page.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
