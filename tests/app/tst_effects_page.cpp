#include "catalogue_fixtures.h"
#include "effects/catalogue_filter.h"
#include "effects/catalogue_store.h"
#include "effects_page.h"
#include "file_bytes.h"
#include "scripted_prompter.h"
#include "shotlist/list_document.h"
#include "test_main.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include <memory>

namespace {

// The page over a catalogue file in a fresh folder and a list with some of its effects.
struct PageRig {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("effektkatalog.csv"));
    ListDocument document;
    ScriptedPrompter prompter;
    std::unique_ptr<CatalogueStore> store;
    std::unique_ptr<EffectsPage> page;

    explicit PageRig(const QByteArray& bytes = ThreeEffects)
    {
        writeFile(path, bytes);
        document.reset(ListWithEffects({ "Kometen blau", "Vulkan", "Kometen blau" }));
        store = std::make_unique<CatalogueStore>(path);
        page = std::make_unique<EffectsPage>(document, prompter, *store);
        page->resize(900, 420);
        page->show();
    }

    template <typename T> T* child(const char* name) { return page->findChild<T*>(QLatin1String(name)); }
    QTableView* view() { return child<QTableView>("catalogueView"); }
    QLabel* message() { return child<QLabel>("messageLabel"); }

    QModelIndex cell(const QString& name, int column)
    {
        const QAbstractItemModel* model = view()->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            const QModelIndex index = model->index(row, CatalogueModel::NameColumn);
            if (index.data().toString() == name)
                return model->index(row, column);
        }
        return QModelIndex();
    }

    QStringList names()
    {
        QStringList names;
        const QAbstractItemModel* model = view()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            names.append(model->index(row, CatalogueModel::NameColumn).data().toString());
        return names;
    }

    // Types text into the cell as a user does: select it, start typing, Enter.
    void type(const QModelIndex& index, const QString& text)
    {
        view()->setFocus();
        view()->setCurrentIndex(index);
        QTest::keyClick(view(), Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        // The delegate commits in a queued call.
        QApplication::processEvents();
    }
};

} // namespace

class TestEffectsPage : public QObject {
    Q_OBJECT

private slots:
    void typedValueIsStoredAndWritten();
    void refusedValueShowsReasonAndKeepsOldValue_data();
    void refusedValueShowsReasonAndKeepsOldValue();
    void addDeleteUndoRedoWithButtons();
    void newEffectShowsEvenWhenFiltered();
    void filtersAndSortsByHeader();
    void shotsFollowTheDocument();
    void importPreviewsThenAddsAndAsksBeforeChanging_data();
    void importPreviewsThenAddsAndAsksBeforeChanging();
    void refusedImportChangesNothing_data();
    void refusedImportChangesNothing();
    void exportWritesTheCatalogueFormat();
    void exportFailureIsTold();
    void unreadableCatalogueIsSetAsideAndTold();
};

void TestEffectsPage::typedValueIsStoredAndWritten()
{
    PageRig rig;
    QVERIFY(QTest::qWaitForWindowActive(rig.page.get()));
    QSignalSpy written(rig.store.get(), &CatalogueStore::written);
    rig.type(
        rig.cell(QStringLiteral("Kometen blau"), CatalogueModel::PrefireColumn), QStringLiteral("0,7 s"));
    QCOMPARE(rig.cell(QStringLiteral("Kometen blau"), CatalogueModel::PrefireColumn).data().toString(),
        QStringLiteral("0,7"));
    QVERIFY(rig.message()->isHidden());
    QVERIFY(written.wait());
    QCOMPARE(readFile(rig.path),
        CatalogueBom + CatalogueHeaderLine + BombeRow + "Kometen blau;Kometen;30;0,7;2,0;40;25;12,5;F2;3\r\n"
            + VulkanRow);
    // Art is offered while typing and read case ignored.
    rig.type(rig.cell(QStringLiteral("Kometen blau"), CatalogueModel::ArtColumn), QStringLiteral("bombette"));
    QCOMPARE(rig.cell(QStringLiteral("Kometen blau"), CatalogueModel::ArtColumn).data().toString(),
        QStringLiteral("Bombette"));
    // A value stored in another form than typed is said.
    rig.type(rig.cell(QStringLiteral("Kometen blau"), CatalogueModel::NemColumn), QStringLiteral("0,02 kg"));
    QCOMPARE(rig.cell(QStringLiteral("Kometen blau"), CatalogueModel::NemColumn).data().toString(),
        QStringLiteral("20,0"));
    QVERIFY(rig.message()->isVisible());
    QCOMPARE(rig.message()->text(), QStringLiteral("NEM: „0,02 kg“ gespeichert als 20,0 g."));
}

void TestEffectsPage::refusedValueShowsReasonAndKeepsOldValue_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("reason");
    QTest::newRow("Dauer over 120 s") << int(CatalogueModel::DurationColumn) << "121"
                                      << "2,0"
                                      << "120 s";
    QTest::newRow("Art") << int(CatalogueModel::ArtColumn) << "Rakete"
                         << "Kometen"
                         << "Rakete";
    QTest::newRow("name of another in other case") << int(CatalogueModel::NameColumn) << "VULKAN"
                                                   << "Kometen blau"
                                                   << "Vulkan";
}

void TestEffectsPage::refusedValueShowsReasonAndKeepsOldValue()
{
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QFETCH(QString, reason);
    PageRig rig;
    QVERIFY(QTest::qWaitForWindowActive(rig.page.get()));
    rig.type(rig.cell(QStringLiteral("Kometen blau"), column), typed);
    QCOMPARE(rig.cell(QStringLiteral("Kometen blau"), column).data().toString(), kept);
    QVERIFY(rig.message()->isVisible());
    QVERIFY2(rig.message()->text().contains(reason), qPrintable(rig.message()->text()));
    QVERIFY(!rig.child<QPushButton>("undoButton")->isEnabled());
    QVERIFY(!rig.store->hasPendingWrite());
    QCOMPARE(readFile(rig.path), ThreeEffects);
}

void TestEffectsPage::addDeleteUndoRedoWithButtons()
{
    PageRig rig;
    QVERIFY(QTest::qWaitForWindowActive(rig.page.get()));
    auto* undo = rig.child<QPushButton>("undoButton");
    auto* redo = rig.child<QPushButton>("redoButton");
    QVERIFY(!undo->isEnabled() && !redo->isEnabled());
    QTest::mouseClick(rig.child<QPushButton>("newEffectButton"), Qt::LeftButton);
    // The new row's name is open for typing.
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    QCOMPARE(editor->text(), QStringLiteral("Neuer Effekt"));
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Zylinder gold"));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    QCOMPARE(rig.names(), QStringList({ "Bombe 75 mm rot", "Kometen blau", "Vulkan", "Zylinder gold" }));
    QVERIFY(undo->isEnabled());

    rig.view()->selectRow(0);
    rig.view()->selectionModel()->select(
        rig.cell(QStringLiteral("Vulkan"), 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::mouseClick(rig.child<QPushButton>("deleteEffectButton"), Qt::LeftButton);
    QCOMPARE(rig.names(), QStringList({ "Kometen blau", "Zylinder gold" }));
    QCOMPARE(undo->toolTip(), QStringLiteral("2 Effekte löschen"));
    QTest::mouseClick(undo, Qt::LeftButton);
    QCOMPARE(rig.names(), QStringList({ "Bombe 75 mm rot", "Kometen blau", "Vulkan", "Zylinder gold" }));
    QTest::mouseClick(undo, Qt::LeftButton);
    QTest::mouseClick(undo, Qt::LeftButton);
    QCOMPARE(rig.names(), QStringList({ "Bombe 75 mm rot", "Kometen blau", "Vulkan" }));
    QVERIFY(!undo->isEnabled());
    QTest::mouseClick(redo, Qt::LeftButton);
    QTest::mouseClick(redo, Qt::LeftButton);
    QCOMPARE(rig.names(), QStringList({ "Bombe 75 mm rot", "Kometen blau", "Vulkan", "Zylinder gold" }));
    rig.store->flush();
    QCOMPARE(readFile(rig.path), ThreeEffects + "Zylinder gold;;;;;;;;;\r\n");

    // Nothing selected: said, nothing deleted.
    rig.view()->clearSelection();
    QTest::mouseClick(rig.child<QPushButton>("deleteEffectButton"), Qt::LeftButton);
    QCOMPARE(rig.names().size(), 4);
    QVERIFY(rig.message()->text().contains(QStringLiteral("zuerst einen Effekt")));
}

void TestEffectsPage::newEffectShowsEvenWhenFiltered()
{
    PageRig rig;
    QVERIFY(QTest::qWaitForWindowActive(rig.page.get()));
    QTest::keyClicks(rig.child<QLineEdit>("nameFilter"), QStringLiteral("Bombe"));
    QCOMPARE(rig.names(), QStringList({ "Bombe 75 mm rot" }));
    QTest::mouseClick(rig.child<QPushButton>("newEffectButton"), Qt::LeftButton);
    QVERIFY(rig.child<QLineEdit>("nameFilter")->text().isEmpty());
    QVERIFY(rig.names().contains(QStringLiteral("Neuer Effekt")));
    QCOMPARE(
        rig.view()->currentIndex(), rig.cell(QStringLiteral("Neuer Effekt"), CatalogueModel::NameColumn));
}

void TestEffectsPage::filtersAndSortsByHeader()
{
    PageRig rig(ThreeEffects + FaecherRow);
    QVERIFY(QTest::qWaitForWindowActive(rig.page.get()));
    QTest::keyClicks(rig.child<QLineEdit>("nameFilter"), QStringLiteral("e"));
    QCOMPARE(rig.names(), QStringList({ "Bombe 75 mm rot", "Fächer grün", "Kometen blau" }));
    auto* klasse = rig.child<QComboBox>("classFilter");
    klasse->setCurrentIndex(klasse->findText(QStringLiteral("F2")));
    QCOMPARE(rig.names(), QStringList({ "Kometen blau" }));
    rig.child<QLineEdit>("nameFilter")->clear();
    QCOMPARE(rig.names(), QStringList({ "Kometen blau", "Vulkan" }));
    auto* art = rig.child<QComboBox>("artFilter");
    art->setCurrentIndex(art->findText(QStringLiteral("Vulkan")));
    QCOMPARE(rig.names(), QStringList({ "Vulkan" }));
    klasse->setCurrentIndex(0);
    art->setCurrentIndex(0);
    QCOMPARE(rig.names().size(), 4);

    // A click on the header "Kaliber (mm)" sorts by number, unknown first; a second click turns it.
    QHeaderView* header = rig.view()->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(CatalogueModel::CaliberColumn) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(rig.names(), QStringList({ "Vulkan", "Kometen blau", "Bombe 75 mm rot", "Fächer grün" }));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(rig.names(), QStringList({ "Fächer grün", "Bombe 75 mm rot", "Kometen blau", "Vulkan" }));
}

void TestEffectsPage::shotsFollowTheDocument()
{
    PageRig rig;
    QVERIFY(QTest::qWaitForWindowActive(rig.page.get()));
    const auto shots = [&rig](const char* name) {
        return rig.cell(QString::fromUtf8(name), CatalogueModel::ShotsColumn).data().toInt();
    };
    QCOMPARE(shots("Kometen blau"), 2);
    QCOMPARE(shots("Vulkan"), 1);
    auto* stock = rig.child<QLabel>("stockLabel");
    QVERIFY(stock->isHidden());
    // Two more Kometen: 4 shots, 3 in stock.
    ListDocument& document = rig.document;
    QVERIFY(document.replace(document.revision(),
        ListWithEffects({ "Kometen blau", "Kometen blau", "Kometen blau", "Kometen blau" }), document.meta(),
        QStringLiteral("Liste ersetzen")));
    QCOMPARE(shots("Kometen blau"), 4);
    QCOMPARE(shots("Vulkan"), 0);
    QVERIFY(stock->isVisible());
    QCOMPARE(stock->text(),
        QStringLiteral("Bestand reicht nicht für die Liste: „Kometen blau“: 4 Schüsse, Bestand 3 Stück."));
    QCOMPARE(rig.cell(QStringLiteral("Kometen blau"), CatalogueModel::ShotsColumn)
                 .data(Qt::ToolTipRole)
                 .toString(),
        QStringLiteral("Die Liste braucht 4 Stück, der Bestand ist 3 Stück: es fehlen 1."));
    QVERIFY(document.setEffect(document.revision(), 3, QStringLiteral("Vulkan")));
    QCOMPARE(shots("Kometen blau"), 3);
    QCOMPARE(shots("Vulkan"), 1);
    QVERIFY(stock->isHidden());
}

void TestEffectsPage::importPreviewsThenAddsAndAsksBeforeChanging_data()
{
    QTest::addColumn<bool>("change");
    QTest::newRow("changes taken") << true;
    QTest::newRow("only new articles") << false;
}

void TestEffectsPage::importPreviewsThenAddsAndAsksBeforeChanging()
{
    QFETCH(bool, change);
    PageRig rig;
    QVERIFY(QTest::qWaitForWindowActive(rig.page.get()));
    const QByteArray before = CatalogueBytes(rig.store->model().catalogue());
    QCOMPARE(readFile(rig.path), before);
    // A supplier's table: Latin-1, tabs, a title line, kilograms, a column Kelto does not know.
    const QString table = rig.dir.filePath(QStringLiteral("lieferant.txt"));
    writeFile(table,
        QStringLiteral(
            "Preisliste 2026\nArtikel\tKaliber (mm)\tNEM (kg)\tPreis\nBombe 75 mm rot\t75\t0,05\t9,90\n"
            "Fächer gelb\t\t1,2\t12\nVulkan\t\t\t3\n")
            .toLatin1());
    rig.prompter.setNextFile(table);
    rig.prompter.setNextAnswer(Prompter::Answer::Ok);
    rig.prompter.setNextAnswer(change ? Prompter::Answer::Yes : Prompter::Answer::No);
    QUndoStack& stack = rig.store->model().undoStack();
    const int steps = stack.count();
    QTest::mouseClick(rig.child<QPushButton>("importButton"), Qt::LeftButton);

    QCOMPARE(rig.prompter.tablePreviews.size(), 1);
    const TablePreview& preview = rig.prompter.tablePreviews[0];
    QCOMPARE(preview.problems, QStringList());
    QVERIFY(preview.summary.contains(QStringLiteral("1 neuer Artikel, 1 geänderte, 1 unverändert.")));
    QCOMPARE(preview.header, QStringList({ "Zeile", "Übernahme", "Name", "Kaliber", "NEM" }));
    QCOMPARE(preview.rows.size(), 3);
    QCOMPARE(preview.rows[0],
        QStringList({ "3", "ändert: NEM 45,0 g → 50,0 g", "Bombe 75 mm rot", "75 mm", "50,0 g" }));
    QCOMPARE(preview.rows[1][1], QStringLiteral("neu"));
    QCOMPARE(rig.prompter.asked.size(), 3);
    QCOMPARE(rig.prompter.asked[2].buttons, Prompter::Buttons::YesNo);
    QVERIFY2(rig.prompter.asked[2].text.contains(QStringLiteral("„Bombe 75 mm rot“: NEM 45,0 g → 50,0 g")),
        qPrintable(rig.prompter.asked[2].text));

    QVERIFY(rig.names().contains(QStringLiteral("Fächer gelb")));
    QCOMPARE(rig.cell(QStringLiteral("Fächer gelb"), CatalogueModel::NemColumn).data().toString(),
        QStringLiteral("1200,0"));
    QCOMPARE(rig.cell(QStringLiteral("Bombe 75 mm rot"), CatalogueModel::NemColumn).data().toString(),
        change ? QStringLiteral("50,0") : QStringLiteral("45,0"));
    // The stock the table has no column for stays.
    QCOMPARE(rig.cell(QStringLiteral("Bombe 75 mm rot"), CatalogueModel::StockColumn).data().toString(),
        QStringLiteral("10"));
    QCOMPARE(stack.count(), steps + 1);
    QVERIFY(rig.message()->text().contains(QStringLiteral("1 neuer Artikel")));
    QVERIFY(rig.store->flush());
    QCOMPARE(readFile(rig.path), CatalogueBytes(rig.store->model().catalogue()));

    // One step back: the catalogue as it was, also in its file.
    QTest::mouseClick(rig.child<QPushButton>("undoButton"), Qt::LeftButton);
    QCOMPARE(CatalogueBytes(rig.store->model().catalogue()), before);
    QVERIFY(rig.store->flush());
    QCOMPARE(readFile(rig.path), before);
}

void TestEffectsPage::refusedImportChangesNothing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("problem");
    QTest::newRow("bad row") << QByteArray("Name;Vorlauf (s)\nNeu;1\nAlt;121\n")
                             << QStringLiteral("Zeile 3: Vorlauf „121“ liegt über 120 s.");
    QTest::newRow("case differs from the catalogue")
        << QByteArray("Name;NEM (g)\nvulkan;1\n")
        << QStringLiteral("Zeile 2: „vulkan“ unterscheidet sich von „Vulkan“ im Katalog nur in Groß- und "
                          "Kleinschreibung; "
                          "bitte gleich schreiben.");
}

void TestEffectsPage::refusedImportChangesNothing()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, problem);
    PageRig rig;
    const QByteArray before = CatalogueBytes(rig.store->model().catalogue());
    const QString table = rig.dir.filePath(QStringLiteral("tabelle.csv"));
    writeFile(table, bytes);
    rig.prompter.setNextFile(table);
    rig.prompter.setNextAnswer(Prompter::Answer::Ok);
    QTest::mouseClick(rig.child<QPushButton>("importButton"), Qt::LeftButton);
    QCOMPARE(rig.prompter.tablePreviews.size(), 1);
    QCOMPARE(rig.prompter.tablePreviews[0].problems, QStringList { problem });
    QCOMPARE(rig.prompter.asked.size(), 2);
    QCOMPARE(rig.store->model().undoStack().count(), 0);
    QCOMPARE(CatalogueBytes(rig.store->model().catalogue()), before);
    QVERIFY(!rig.store->hasPendingWrite());
}

void TestEffectsPage::exportWritesTheCatalogueFormat()
{
    PageRig rig(CatalogueBom + CatalogueHeaderLine + FaecherRow + VulkanRow);
    QVERIFY(QTest::qWaitForWindowActive(rig.page.get()));
    const QString target = rig.dir.filePath(QStringLiteral("export/katalog.csv"));
    QDir().mkpath(QFileInfo(target).absolutePath());
    rig.prompter.setNextFile(target);
    QTest::mouseClick(rig.child<QPushButton>("exportButton"), Qt::LeftButton);
    QCOMPARE(rig.prompter.asked.size(), 1);
    QVERIFY(rig.prompter.asked[0].isFile);
    QCOMPARE(rig.prompter.asked[0].fileChoice, Prompter::FileChoice::Save);
    QCOMPARE(rig.prompter.asked[0].title, QStringLiteral("Katalog exportieren"));
    QCOMPARE(readFile(target),
        QByteArray(
            "\xEF\xBB\xBFName;Art;Kaliber (mm);Vorlauf (s);Dauer (s);Steighöhe (m);Sicherheitsabstand (m);"
            "NEM (g);Klasse;Bestand (Stück)\r\n"
            "Fächer grün;Fächer;100;;4,0;;;;F4;\r\n"
            "Vulkan;Vulkan;;;30,0;;15;;F2;\r\n"));
    QVERIFY(rig.message()->text().contains(QStringLiteral("2 Effekten")));
    // Cancelled: nothing written, nothing said.
    QTest::mouseClick(rig.child<QPushButton>("exportButton"), Qt::LeftButton);
    QCOMPARE(rig.prompter.asked.size(), 2);
}

void TestEffectsPage::exportFailureIsTold()
{
    PageRig rig;
    QVERIFY(QTest::qWaitForWindowActive(rig.page.get()));
    rig.prompter.setNextFile(rig.dir.filePath(QStringLiteral("no/such/folder/katalog.csv")));
    QTest::mouseClick(rig.child<QPushButton>("exportButton"), Qt::LeftButton);
    QCOMPARE(rig.prompter.asked.size(), 2);
    QCOMPARE(rig.prompter.asked[1].icon, Prompter::Icon::Critical);
    QVERIFY(rig.prompter.asked[1].text.startsWith(QStringLiteral("Der Katalog wurde nicht nach")));
    QVERIFY(rig.message()->isVisible());
}

void TestEffectsPage::unreadableCatalogueIsSetAsideAndTold()
{
    const QByteArray bytes = CatalogueBom + CatalogueHeaderLine + "Vulkan;Rakete;;;;;;;;\r\n";
    PageRig rig(bytes);
    QVERIFY(QTest::qWaitForWindowActive(rig.page.get()));
    QCOMPARE(rig.names(), QStringList());
    QCOMPARE(readFile(rig.dir.filePath(QStringLiteral("effektkatalog-unlesbar-1.csv"))), bytes);
    QVERIFY(rig.message()->isVisible());
    QVERIFY(rig.message()->text().contains(QStringLiteral("effektkatalog-unlesbar-1.csv")));
    QVERIFY(rig.message()->text().contains(QStringLiteral("Zeile 2")));
    rig.page->tellLoadProblem();
    rig.page->tellLoadProblem();
    QCOMPARE(rig.prompter.asked.size(), 1);
    QCOMPARE(rig.prompter.asked[0].icon, Prompter::Icon::Warning);
    QCOMPARE(rig.prompter.asked[0].text, rig.store->loadProblem());
}

KELTO_TEST_MAIN(TestEffectsPage)
#include "tst_effects_page.moc"
