#include "catalogue_fixtures.h"
#include "editor_page.h"
#include "effects/catalogue_store.h"
#include "scripted_prompter.h"
#include "shotlist/list_document.h"
#include "test_main.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QLabel>
#include <QPushButton>
#include <QUndoStack>

namespace {

EffectData Article(const QString& name) { return *CatalogueFromBytes(ThreeEffects).find(name); }

// The catalogue's data as a list keeps it: no stock.
EffectData Kept(EffectData data)
{
    data.stock.reset();
    return data;
}

// The window on the editing page over the three-article catalogue, with a list of these effects
// and data (five seconds apart).
struct Rig {
    ScriptedPrompter* prompter = new ScriptedPrompter;
    Form1 w { std::unique_ptr<Prompter>(prompter) };

    bool open(const QStringList& effects, const QList<EffectData>& data = {})
    {
        if (!OpenEditorPage(w, { 0 }))
            return false;
        w.Catalogue->model().setCatalogue(CatalogueFromBytes(ThreeEffects));
        ListMeta meta;
        for (const EffectData& each : data)
            meta.effectData.insert(each.name, each);
        w.document().reset(ListWithEffects(effects), meta);
        return true;
    }
    QAbstractItemView* popup() { return w.EffectCompleter->popup(); }
    // Types into the effect field of line row, as a user does after clicking the line.
    void typeEffect(int row, const QString& text)
    {
        ClickListLine(w, row);
        w.Text3->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(w.Text3, text);
    }
    QModelIndex offered(const QString& name)
    {
        const QAbstractItemModel* model = popup()->model();
        for (int i = 0; i < model->rowCount(); ++i) {
            if (model->index(i, 0).data().toString() == name)
                return model->index(i, 0);
        }
        return QModelIndex();
    }
    // Which offer the button beside the data makes: "Übernehmen", "Aufnehmen" or none.
    QString offer() { return w.CatalogueButton->isVisible() ? w.CatalogueButton->text() : QString(); }
    QStringList offeredNames()
    {
        QStringList names;
        for (int i = 0; i < popup()->model()->rowCount(); ++i)
            names.append(popup()->model()->index(i, 0).data().toString());
        return names;
    }
};

} // namespace

class TestEffectCompletion : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A prefix typed in any case offers the catalogue's names; a name picked by Enter or a click is the
    // entry's effect with its data, one undo step that brings back the effect from before the typing.
    void chosenNameBringsItsDataInOneStep_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<bool>("byEnter");
        QTest::newRow("Enter") << "kom" << QStringList { "Kometen blau" } << "Kometen blau" << true;
        QTest::newRow("click") << "BOMBE" << QStringList { "Bombe 75 mm rot" } << "Bombe 75 mm rot" << false;
        QTest::newRow("one of several")
            << "" << QStringList { "Bombe 75 mm rot", "Kometen blau", "Vulkan" } << "Vulkan" << false;
    }
    void chosenNameBringsItsDataInOneStep()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, offered);
        QFETCH(QString, chosen);
        QFETCH(bool, byEnter);
        Rig rig;
        QVERIFY(rig.open({ "Alt", "", "Alt" }));
        const int steps = rig.w.document().undoStack().count();
        rig.typeEffect(1, typed.isEmpty() ? QStringLiteral("x") : typed);
        if (typed.isEmpty()) {
            // All names: the field emptied, the list of names opened as Alt+Down opens it.
            QTest::keyClick(rig.w.Text3, Qt::Key_Backspace);
            rig.w.EffectCompleter->setCompletionPrefix(QString());
            rig.w.EffectCompleter->complete();
        }
        QTRY_VERIFY(rig.popup()->isVisible());
        QCOMPARE(rig.offeredNames(), offered);
        const QModelIndex index = rig.offered(chosen);
        QVERIFY(index.isValid());
        if (byEnter) {
            rig.popup()->setCurrentIndex(index);
            QTest::keyClick(rig.popup(), Qt::Key_Return);
        } else {
            QTest::mouseClick(
                rig.popup()->viewport(), Qt::LeftButton, {}, rig.popup()->visualRect(index).center());
        }
        QTRY_VERIFY(!rig.popup()->isVisible());

        ListDocument& document = rig.w.document();
        QCOMPARE(document.list().effects[1], chosen);
        QCOMPARE(document.meta().effectData.value(chosen), Kept(Article(chosen)));
        QCOMPARE(document.undoStack().count(), steps + 1);
        QCOMPARE(rig.w.Text3->text(), chosen);
        QCOMPARE(rig.w.EffectInfo->text().left(19), QStringLiteral("Liste wie Katalog: "));
        // Leaving the field stores nothing more.
        ClickListLine(rig.w, 2);
        QCOMPARE(document.undoStack().count(), steps + 1);
        rig.w.UndoList();
        QCOMPARE(document.list().effects[1], QString());
        QVERIFY(document.meta().effectData.isEmpty());
    }

    // A name typed by hand is stored as typed, without data; the editor then offers the catalogue's.
    void typedNameGetsNoDataSilently()
    {
        Rig rig;
        QVERIFY(rig.open({ "Alt", "" }));
        const int steps = rig.w.document().undoStack().count();
        rig.typeEffect(0, QStringLiteral("Vulkan"));
        QTRY_VERIFY(rig.popup()->isVisible());
        QTest::keyClick(rig.popup(), Qt::Key_Escape);
        ClickListLine(rig.w, 1);
        QCOMPARE(rig.w.list().effects[0], QStringLiteral("Vulkan"));
        QVERIFY(rig.w.document().meta().effectData.isEmpty());
        QCOMPARE(rig.w.document().undoStack().count(), steps + 1);
        ClickListLine(rig.w, 0);
        QCOMPARE(
            rig.w.EffectInfo->text(), QStringLiteral("Liste ohne Daten. Katalog: Vulkan, Dauer 30,0 s, F2"));
        QCOMPARE(rig.offer(), QStringLiteral("Übernehmen"));
    }

    // Enter while names are offered but none is picked stores what is typed and goes on to the next line.
    void enterWithoutAPickStoresWhatIsTyped()
    {
        Rig rig;
        QVERIFY(rig.open({ "Alt", "", "" }));
        const int steps = rig.w.document().undoStack().count();
        rig.typeEffect(0, QStringLiteral("Kometen"));
        QTRY_VERIFY(rig.popup()->isVisible());
        QTest::keyClick(rig.popup(), Qt::Key_Return);
        QVERIFY(!rig.popup()->isVisible());
        QCOMPARE(rig.w.list().effects[0], QStringLiteral("Kometen"));
        QVERIFY(rig.w.document().meta().effectData.isEmpty());
        QCOMPARE(rig.w.document().undoStack().count(), steps + 1);
        QCOMPARE(rig.w.List2->currentRow(), 1);
        QVERIFY(rig.w.Text3->hasFocus());
    }

    // What the editor says about the selected entry's data, and what it offers.
    void selectedEntryIsComparedWithTheCatalogue_data()
    {
        QTest::addColumn<QString>("effect");
        QTest::addColumn<QString>("info");
        QTest::addColumn<bool>("take");
        QTest::addColumn<bool>("add");
        QTest::newRow("differs") << "Kometen blau"
                                 << "Katalog: Vorlauf 0,5 s, Liste: 0,7 s; Katalog: Klasse F2, Liste: F3"
                                 << true << false;
        QTest::newRow("same") << "Bombe 75 mm rot"
                              << "Liste wie Katalog: Bombe, 75 mm, Vorlauf 3,2 s, Dauer 2,5 s, NEM 45,0 g, F3"
                              << false << false;
        QTest::newRow("unknown to the catalogue")
            << "Eigenbau"
            << "Nicht im Katalog. Liste: Sonstiges, Vorlauf 1,0 s" << false << true;
        QTest::newRow("no data in the list")
            << "Vulkan"
            << "Liste ohne Daten. Katalog: Vulkan, Dauer 30,0 s, F2" << true << false;
        QTest::newRow("other case") << "kometen BLAU"
                                    << "Der Katalog kennt „kometen BLAU“ nur als „Kometen blau“." << false
                                    << false;
        QTest::newRow("nowhere") << "Neu"
                                 << "Keine Daten; nicht im Katalog." << false << false;
        QTest::newRow("no effect") << ""
                                   << "" << false << false;
    }
    void selectedEntryIsComparedWithTheCatalogue()
    {
        QFETCH(QString, effect);
        QFETCH(QString, info);
        QFETCH(bool, take);
        QFETCH(bool, add);
        EffectData kometen = Kept(Article(QStringLiteral("Kometen blau")));
        kometen.prefireTenths = 7;
        kometen.effectClass = EffectClass::F3;
        EffectData eigenbau;
        eigenbau.name = QStringLiteral("Eigenbau");
        eigenbau.art = EffectArt::Sonstiges;
        eigenbau.prefireTenths = 10;
        Rig rig;
        QVERIFY(rig.open(
            { effect, "Alt" }, { kometen, eigenbau, Kept(Article(QStringLiteral("Bombe 75 mm rot"))) }));
        ClickListLine(rig.w, 0);
        QCOMPARE(rig.w.EffectInfo->text(), info);
        QCOMPARE(rig.offer(),
            take      ? QStringLiteral("Übernehmen")
                : add ? QStringLiteral("Aufnehmen")
                      : QString());
        // What asks for attention stands out in the notice colour.
        const bool notice = take || add || effect == QStringLiteral("kometen BLAU");
        QCOMPARE(rig.w.EffectInfo->palette().color(QPalette::WindowText) == QColor(160, 40, 0), notice);
        // Label and button stand side by side; without a button the text has the whole row.
        if (take || add)
            QVERIFY(rig.w.EffectInfo->geometry().right() < rig.w.CatalogueButton->x());
        else
            QCOMPARE(rig.w.EffectInfo->width(), rig.w.EffectInfo->parentWidget()->width());
    }

    // A tapped target and the burst's deviation from it stand first; a time typed by hand shows its effect.
    void selectedEntryShowsItsTarget()
    {
        Rig rig;
        QVERIFY(rig.open({ "Kometen blau", "Vulkan" }, { Kept(Article(QStringLiteral("Kometen blau"))) }));
        ShotList list = rig.w.document().list();
        list.targets[1] = 5400; // entry 2 at 5 s, no Vorlauf: 0,4 s early
        ListMeta meta = rig.w.document().meta();
        rig.w.document().reset(list, meta);
        ClickListLine(rig.w, 1);
        QVERIFY2(rig.w.EffectInfo->text().startsWith(QStringLiteral("Ziel 00:05,4 · Abweichung −0,40 s. ")),
            qPrintable(rig.w.EffectInfo->text()));
        ClickListLine(rig.w, 0);
        QCOMPARE(rig.w.EffectInfo->text(), QStringLiteral("Liste wie Katalog: Kometen, 30 mm, Vorlauf 0,5 s, Dauer 2,0 s, NEM 12,5 g, F2"));
    }

    // The catalogue's values for every shot with the name, as one step; undo brings all back.
    void catalogueValuesForAllShotsInOneStep()
    {
        EffectData old = Kept(Article(QStringLiteral("Kometen blau")));
        old.prefireTenths = 20;
        old.nemTenthsGram.reset();
        Rig rig;
        QVERIFY(rig.open({ "Kometen blau", "Vulkan", "Kometen blau" }, { old }));
        const int steps = rig.w.document().undoStack().count();
        ClickListLine(rig.w, 2);
        QCOMPARE(rig.w.EffectInfo->text(),
            QStringLiteral("Katalog: Vorlauf 0,5 s, Liste: 2,0 s; Katalog: NEM 12,5 g, Liste: unbekannt"));
        QCOMPARE(rig.offer(), QStringLiteral("Übernehmen"));
        QTest::mouseClick(rig.w.CatalogueButton, Qt::LeftButton);
        QCOMPARE(rig.w.document().meta().effectData.value(QStringLiteral("Kometen blau")),
            Kept(Article(QStringLiteral("Kometen blau"))));
        QCOMPARE(rig.w.document().undoStack().count(), steps + 1);
        QCOMPARE(rig.w.List2->currentRow(), 2);
        QCOMPARE(rig.offer(), QString());
        ClickListLine(rig.w, 0);
        QVERIFY(rig.w.EffectInfo->text().startsWith(QStringLiteral("Liste wie Katalog")));
        rig.w.UndoList();
        QCOMPARE(rig.w.document().meta().effectData.value(QStringLiteral("Kometen blau")), old);
        ClickListLine(rig.w, 0);
        QCOMPARE(rig.offer(), QStringLiteral("Übernehmen"));
    }

    // A name only the list knows joins the catalogue with the list's data, a step taken back on "Effekte".
    void unknownNameJoinsTheCatalogue()
    {
        EffectData eigenbau;
        eigenbau.name = QStringLiteral("Eigenbau");
        eigenbau.caliberMm = 50;
        Rig rig;
        QVERIFY(rig.open({ "Eigenbau" }, { eigenbau }));
        ClickListLine(rig.w, 0);
        QCOMPARE(rig.offer(), QStringLiteral("Aufnehmen"));
        const int steps = rig.w.document().undoStack().count();
        QTest::mouseClick(rig.w.CatalogueButton, Qt::LeftButton);
        const EffectCatalogue& catalogue = rig.w.Catalogue->model().catalogue();
        QVERIFY(catalogue.find(QStringLiteral("Eigenbau")));
        QCOMPARE(*catalogue.find(QStringLiteral("Eigenbau")), eigenbau);
        QCOMPARE(rig.w.Catalogue->model().undoStack().count(), 1);
        QCOMPARE(rig.w.document().undoStack().count(), steps);
        QCOMPARE(rig.offer(), QString());
        QCOMPARE(rig.w.Label9->text(), QStringLiteral("„Eigenbau“ ist in den Katalog aufgenommen."));
        // The completer knows it at once.
        rig.w.EffectCompleter->setCompletionPrefix(QStringLiteral("eig"));
        QCOMPARE(rig.w.EffectCompleter->completionCount(), 1);
        QCOMPARE(rig.w.EffectCompleter->currentCompletion(), QStringLiteral("Eigenbau"));

        rig.w.SSTab1->setCurrentIndex(4);
        rig.w.UndoList();
        QVERIFY(!catalogue.find(QStringLiteral("Eigenbau")));
        rig.w.SSTab1->setCurrentIndex(2);
        ClickListLine(rig.w, 0);
        QCOMPARE(rig.offer(), QStringLiteral("Aufnehmen"));
    }

    // The names follow the catalogue: an article renamed or removed is no longer offered.
    void completerFollowsTheCatalogue()
    {
        Rig rig;
        QVERIFY(rig.open({ "" }));
        CatalogueModel& model = rig.w.Catalogue->model();
        const QModelIndex name
            = model.index(model.rowOf(QStringLiteral("Vulkan")), CatalogueModel::NameColumn);
        QVERIFY(model.setData(name, QStringLiteral("Kometen grün")));
        rig.typeEffect(0, QStringLiteral("kom"));
        QTRY_VERIFY(rig.popup()->isVisible());
        QCOMPARE(rig.offeredNames(), (QStringList { "Kometen blau", "Kometen grün" }));
        QTest::keyClick(rig.popup(), Qt::Key_Escape);
        QVERIFY(model.removeEffects({ model.rowOf(QStringLiteral("Kometen blau")) }));
        QTest::keyClick(rig.w.Text3, Qt::Key_Backspace);
        QTest::keyClicks(rig.w.Text3, QStringLiteral("m"));
        QTRY_VERIFY(rig.popup()->isVisible());
        QCOMPARE(rig.offeredNames(), QStringList { "Kometen grün" });
    }

    // A list replaced while the names are offered (a receive completing) takes no choice made on the
    // old one.
    void choiceForAReplacedListIsRefused()
    {
        Rig rig;
        QVERIFY(rig.open({ "Alt", "" }));
        rig.typeEffect(0, QStringLiteral("bo"));
        QTRY_VERIFY(rig.popup()->isVisible());
        const ShotList received = ListWithEffects({ "Empfangen", "" });
        QVERIFY(rig.w.document().replace(
            rig.w.document().revision(), received, ListMeta(), QStringLiteral("Empfang")));
        QVERIFY(!rig.popup()->isVisible());
        const int steps = rig.w.document().undoStack().count();
        emit rig.w.EffectCompleter->activated(QStringLiteral("Bombe 75 mm rot"));
        QCOMPARE(rig.w.list().effects[0], QStringLiteral("Empfangen"));
        QVERIFY(rig.w.document().meta().effectData.isEmpty());
        QCOMPARE(rig.w.document().undoStack().count(), steps);
        QTRY_COMPARE(rig.w.Text3->text(), QString());
    }
};

KELTO_TEST_MAIN(TestEffectCompletion)
#include "tst_effect_completion.moc"
