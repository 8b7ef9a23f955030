#include "import_dialog.h"
#include "prompter.h"
#include "test_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace {

// Pins counted from 1, as firing systems count them.
const QByteArray FinaleFile("FIRING_HEADER_ROW,Ignition Event Time,Effect Name,Module Address,Pin Address\r\n"
                            "FIRING_DATA_ROW,00:00:12.50s,Kometen rot,2,32\r\n"
                            "FIRING_DATA_ROW,00:00:05.00s,Vulkan,1,1\r\n");

ImportDialog::Evaluate evaluating(const QByteArray& bytes, int* calls = nullptr)
{
    return [bytes, calls](const CsvImportOptions& options) {
        if (calls)
            ++*calls;
        return ReadShotListCsv(bytes, options);
    };
}

template <typename T> T* child(QWidget& dialog, const char* name)
{
    T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
    if (!widget)
        qFatal("no %s", name);
    return widget;
}

QStringList tableRow(QTableWidget* table, int row)
{
    QStringList cells;
    for (int column = 0; column < table->columnCount(); ++column)
        cells.append(table->item(row, column) ? table->item(row, column)->text() : QString());
    return cells;
}

void choose(QComboBox* box, const QString& text)
{
    const int index = box->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    box->setCurrentIndex(index);
}

} // namespace

class TestImportDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void numberingChoiceMakesTheImportTakeable()
    {
        int calls = 0;
        ImportDialog dialog(QStringLiteral("CSV importieren"), QStringLiteral("/tmp/finale.csv"),
            CsvImportOptions(), evaluating(FinaleFile, &calls));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("CSV importieren"));
        auto* accept = child<QPushButton>(dialog, "ImportAccept");
        auto* report = child<QPlainTextEdit>(dialog, "ImportReport");
        auto* rows = child<QTableWidget>(dialog, "ImportRows");
        auto* columns = child<QTableWidget>(dialog, "ImportColumns");
        QCOMPARE(accept->text(), QStringLiteral("Übernehmen"));
        QVERIFY(!accept->isEnabled());
        QVERIFY(report->toPlainText().contains(QStringLiteral("„Kreise ab 1“ wählen")));
        QCOMPARE(columns->rowCount(), 5);
        QCOMPARE(tableRow(columns, 4), QStringList({ "5", "Pin Address", "Kreis", "Kreis, ab 0 gezählt" }));
        QCOMPARE(calls, 1);

        QTest::mouseClick(child<QRadioButton>(dialog, "ImportFrom1"), Qt::LeftButton);
        QCOMPARE(calls, 2);
        QVERIFY(accept->isEnabled());
        QVERIFY(report->toPlainText().startsWith(
            QStringLiteral("Die Datei wird so übernommen:\n2 Schüsse, Dauer 00:00:13.")));
        QCOMPARE(rows->rowCount(), 2);
        QCOMPARE(tableRow(rows, 0), QStringList({ "001", "00:00:05", "A00", "Vulkan", "3" }));
        QCOMPARE(tableRow(rows, 1), QStringList({ "002", "00:00:13", "B31", "Kometen rot", "2" }));
        QCOMPARE(tableRow(columns, 4), QStringList({ "5", "Pin Address", "Kreis", "Kreis, ab 1 gezählt" }));

        choose(child<QComboBox>(dialog, "ImportEffect"), QStringLiteral("keine"));
        QCOMPARE(tableRow(rows, 1), QStringList({ "002", "00:00:13", "B31", "", "2" }));
        QCOMPARE(dialog.options().effect, CsvColumnChoice::absent());
        QCOMPARE(dialog.options().circuitsFrom, 1);

        QTest::mouseClick(accept, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(dialog.current().list);
        QCOMPARE(dialog.current().list->circuits[1], qint16(63));
    }

    void columnChoiceDecidesWhatTheRulesCannot()
    {
        ImportDialog dialog(QStringLiteral("CSV importieren"), QStringLiteral("show.csv"), CsvImportOptions(),
            evaluating("Zeit;Modul;Channel;Cue\n1;1;5;7\n2;1;6;9\n"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* accept = child<QPushButton>(dialog, "ImportAccept");
        QVERIFY(!accept->isEnabled());
        QVERIFY(child<QPlainTextEdit>(dialog, "ImportReport")
                    ->toPlainText()
                    .contains(QStringLiteral("mehrere Spalten könnten der Kreis sein")));
        choose(child<QComboBox>(dialog, "ImportCircuit"), QStringLiteral("Spalte 4 „Cue“"));
        QVERIFY(accept->isEnabled());
        QCOMPARE(tableRow(child<QTableWidget>(dialog, "ImportRows"), 1),
            QStringList({ "002", "00:00:02", "A09", "", "3" }));

        // Without circuits the address choices are not asked.
        auto* without = child<QCheckBox>(dialog, "ImportWithoutCircuits");
        // On its box: the row is wider than box and text.
        QTest::mouseClick(without, Qt::LeftButton, {}, QPoint(6, without->height() / 2));
        QVERIFY(without->isChecked());
        QVERIFY(!child<QComboBox>(dialog, "ImportCircuit")->isEnabled());
        QVERIFY(!child<QRadioButton>(dialog, "ImportFrom1")->isEnabled());
        QCOMPARE(tableRow(child<QTableWidget>(dialog, "ImportRows"), 1),
            QStringList({ "002", "00:00:02", "---", "", "3" }));
        QVERIFY(accept->isEnabled());
    }

    // The window's prompter opens the real dialog; closing it without "Übernehmen" takes nothing.
    void prompterShowsTheDialog_data()
    {
        QTest::addColumn<bool>("take");
        QTest::newRow("Übernehmen") << true;
        QTest::newRow("Abbrechen") << false;
    }
    void prompterShowsTheDialog()
    {
        QFETCH(bool, take);
        QWidget parent;
        DialogPrompter prompter(&parent);
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<ImportDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            seen = true;
            // The default button does nothing while the import is refused.
            QTest::keyClick(dialog, Qt::Key_Return);
            QVERIFY(dialog->isVisible());
            QTest::mouseClick(
                dialog->findChild<QRadioButton*>(QStringLiteral("ImportFrom1")), Qt::LeftButton);
            QTest::mouseClick(dialog->findChild<QPushButton*>(
                                  take ? QStringLiteral("ImportAccept") : QStringLiteral("ImportCancel")),
                Qt::LeftButton);
        });
        const std::optional<CsvImport> imported = prompter.previewImport(QStringLiteral("CSV importieren"),
            QStringLiteral("finale.csv"), CsvImportOptions(), evaluating(FinaleFile));
        QVERIFY(seen);
        QCOMPARE(imported.has_value(), take);
        if (take) {
            QVERIFY(imported->list);
            QCOMPARE(imported->summary.circuitsFrom, 1);
        }
    }

    // A wide file with a long report: the tables and the report scroll, nothing is cut off or overlaps.
    void longReportAndManyColumnsFit()
    {
        QByteArray bytes = "Zeit;Modul;Pin";
        for (int i = 0; i < 40; ++i)
            bytes += ";Spalte mit einem sehr langen Namen Nummer " + QByteArray::number(i);
        bytes += "\n";
        for (int row = 0; row < 300; ++row) {
            bytes += QByteArray::number(row) + ";K;" + QByteArray::number(row % 40);
            bytes += QByteArray(40, ';') + "\n";
        }
        ImportDialog dialog(QStringLiteral("CSV importieren"),
            QStringLiteral(
                "/home/feuerwerk/Shows/Silvester 2026/Hafen/Entwürfe/finale_version_mit_sehr_langem_"
                "namen.csv"),
            CsvImportOptions(), evaluating(bytes));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QRect inside = dialog.rect();
        const QList<QWidget*> parts { child<QWidget>(dialog, "ImportFile"),
            child<QWidget>(dialog, "ImportColumns"), child<QWidget>(dialog, "ImportTime"),
            child<QWidget>(dialog, "ImportWithoutCircuits"), child<QWidget>(dialog, "ImportRows"),
            child<QWidget>(dialog, "ImportReport"), child<QWidget>(dialog, "ImportAccept"),
            child<QWidget>(dialog, "ImportCancel") };
        for (QWidget* part : parts) {
            QVERIFY2(part->isVisible(), qPrintable(part->objectName()));
            const QRect area(part->mapTo(&dialog, QPoint(0, 0)), part->size());
            QVERIFY2(inside.contains(area), qPrintable(part->objectName()));
            QVERIFY2(part->height() >= part->minimumSizeHint().height(), qPrintable(part->objectName()));
        }
        const QList<QGroupBox*> boxes = dialog.findChildren<QGroupBox*>();
        for (QGroupBox* a : boxes) {
            for (QGroupBox* b : boxes)
                QVERIFY(a == b || !a->geometry().intersects(b->geometry()));
        }
        auto* report = child<QPlainTextEdit>(dialog, "ImportReport");
        QVERIFY(report->verticalScrollBar()->maximum() > 0);
        QVERIFY(report->toPlainText().contains(QStringLiteral("Zeile 150: unbekanntes Zündgerät \"K\"")));
        QVERIFY(child<QTableWidget>(dialog, "ImportColumns")->verticalScrollBar()->maximum() > 0);
        // Long names are shown whole: the column of names is as wide as its longest.
        auto* columns = child<QTableWidget>(dialog, "ImportColumns");
        const int nameWidth = columns->fontMetrics().horizontalAdvance(columns->item(42, 1)->text());
        QVERIFY(columns->columnWidth(1) >= nameWidth);
        QVERIFY(dialog.width() <= 1000);
    }
};

KELTO_TEST_MAIN(TestImportDialog)
#include "tst_import_dialog.moc"
