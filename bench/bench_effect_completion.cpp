// The effect field's completer over a catalogue of 5,000 articles: a key typed into the field (the list
// changed, the names searched, the list of names shown anew), the search alone, and the names made
// anew after the catalogue changed.
#include "bench_main.h"
#include "effects/catalogue_difference.h"
#include "effects/catalogue_store.h"
#include "form1.h"
#include "shotlist/list_document.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QStringListModel>
#include <QTabWidget>
#include <QTemporaryDir>

namespace {

EffectCatalogue longCatalogue(int count)
{
    QByteArray table = CatalogueBytes(EffectCatalogue());
    const char* kinds[] = { "Bombe", "Kometen", "Vulkan", "Fächer", "Batterie" };
    for (int i = 0; i < count; ++i)
        table += QStringLiteral("%1 %2 Artikel %3;;%4;%5,5;2,0;80;40;45,0;F3;5\r\n")
                     .arg(QString::fromUtf8(kinds[i % 5]))
                     .arg(20 + i % 150)
                     .arg(i)
                     .arg(20 + i % 150)
                     .arg(i % 9)
                     .toUtf8();
    return ReadCatalogue(table).catalogue;
}

void sendKey(QWidget* to, int key, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(to, &press);
    QApplication::sendEvent(to, &release);
}

// A key typed into the effect field while the names are offered: one more character, then Backspace.
void BM_CompleterAnswersAKey(benchmark::State& state)
{
    QTemporaryDir dir;
    qputenv("temp", QFile::encodeName(dir.path() + QLatin1Char('/')));
    Form1 window;
    window.Catalogue->model().setCatalogue(longCatalogue(int(state.range(0))));
    window.document().reset(FullBenchList());
    window.show();
    window.activateWindow();
    window.SSTab1->setCurrentIndex(2);
    window.List2->setCurrentRow(10);
    const QDeadlineTimer deadline(5000);
    while (!window.isActiveWindow() && !deadline.hasExpired())
        QApplication::processEvents();
    window.Text3->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    for (const QChar c : QStringLiteral("bombe 4"))
        sendKey(window.Text3, Qt::Key_unknown, QString(c));
    QApplication::processEvents();
    int turn = 0;
    for (auto _ : state) {
        if (turn++ % 2 == 0)
            sendKey(window.Text3, Qt::Key_5, QStringLiteral("5"));
        else
            sendKey(window.Text3, Qt::Key_Backspace, QString());
        QApplication::processEvents();
    }
    state.counters["offered"] = window.EffectCompleter->completionCount();
    state.counters["shown"] = window.EffectCompleter->popup()->isVisible() ? 1 : 0;
    if (window.list().effects[10].isEmpty())
        state.SkipWithError("the field's text did not reach the list");
}
BENCHMARK(BM_CompleterAnswersAKey)->ArgName("articles")->Arg(0)->Arg(5000)->Unit(benchmark::kMillisecond);

// The search alone, for a prefix in other case.
void BM_CompleterSearch(benchmark::State& state)
{
    QStringListModel names(CompletionNames(longCatalogue(int(state.range(0)))));
    QCompleter completer(&names);
    completer.setCaseSensitivity(Qt::CaseInsensitive);
    completer.setModelSorting(QCompleter::CaseInsensitivelySortedModel);
    const QString prefixes[]
        = { QStringLiteral("BOMBE 4"), QStringLiteral("kometen 12"), QStringLiteral("v") };
    int turn = 0;
    for (auto _ : state) {
        completer.setCompletionPrefix(prefixes[turn++ % 3]);
        benchmark::DoNotOptimize(completer.completionCount());
    }
}
BENCHMARK(BM_CompleterSearch)->ArgName("articles")->Arg(5000)->Unit(benchmark::kMicrosecond);

// The names made anew after an edit of the catalogue.
void BM_CompletionNamesAfterChange(benchmark::State& state)
{
    const EffectCatalogue catalogue = longCatalogue(int(state.range(0)));
    QStringListModel names;
    for (auto _ : state)
        names.setStringList(CompletionNames(catalogue));
}
BENCHMARK(BM_CompletionNamesAfterChange)->ArgName("articles")->Arg(5000)->Unit(benchmark::kMicrosecond);

} // namespace

KELTO_BENCHMARK_MAIN()
