#include "console.h"
#include "policies.h"
#include "verbs.h"

#include "effects/burst_timing.h"

#include "files/crew_sheet.h"
#include "files/csv_file.h"
#include "files/list_file.h"
#include "shotlist/duplicates.h"
#include "shotlist/list_views.h"

#include <QDateTime>

namespace {

OutputTarget outputOf(const VerbCall& call, Opt option)
{
    return { call.value(option), { call.file() }, call.isSet(Opt::Force) };
}

// The target must be named, and the rule must let the verb write there, before anything is read.
bool mayWrite(const OutputTarget& target, Opt option)
{
    if (target.path.isEmpty()) {
        Complain(QStringLiteral("Es fehlt %1 mit dem Namen der Zieldatei.").arg(OptionName(option)));
        return false;
    }
    if (const QString refusal = OutputRefusal(target); !refusal.isEmpty()) {
        Complain(refusal);
        return false;
    }
    return true;
}

// The columns and numbering the user named; nullopt after saying what is wrong.
std::optional<CsvImportOptions> importOptions(const VerbCall& call)
{
    CsvImportOptions options;
    const std::pair<Opt, CsvColumnChoice*> columns[]
        = { { Opt::TimeColumn, &options.time }, { Opt::DeviceColumn, &options.device },
              { Opt::CircuitColumn, &options.circuit }, { Opt::EffectColumn, &options.effect } };
    for (const auto& [option, choice] : columns) {
        if (!call.isSet(option))
            continue;
        const QString name = call.value(option).trimmed();
        if (name.isEmpty()) {
            Complain(QStringLiteral("%1 braucht den Namen einer Spalte.").arg(OptionName(option)));
            return std::nullopt;
        }
        *choice = CsvColumnChoice::named(name);
    }
    if (call.isSet(Opt::CircuitsFrom)) {
        const QString from = call.value(Opt::CircuitsFrom).trimmed();
        if (from != QLatin1String("0") && from != QLatin1String("1")) {
            Complain(QStringLiteral("--circuits-from nimmt 0 oder 1, nicht „%1“.").arg(from));
            return std::nullopt;
        }
        options.circuitsFrom = from.toInt();
    }
    options.withoutCircuits = call.isSet(Opt::WithoutCircuits);
    if (options.withoutCircuits && (call.isSet(Opt::DeviceColumn) || call.isSet(Opt::CircuitColumn))) {
        Complain(QStringLiteral("--without-circuits liest weder Zündgerät noch Kreis: --device-column und "
                                "--circuit-column passen nicht dazu."));
        return std::nullopt;
    }
    return options;
}

// "  Nr. 006  00:01:40  C00  Vulkan gold"; a slot without time shows "--:--:--", one without circuit "---".
QString slotLine(const ShotList& list, int slot)
{
    const qint16 code = list.circuits[slot];
    QString line = QStringLiteral("  Nr. %1  %2  %3")
                       .arg(slot + 1, 3, 10, QLatin1Char('0'))
                       .arg(FormatClock(list.times[slot]),
                           code == NoCircuit ? QStringLiteral("---") : CircuitLabel(code));
    if (!list.effects[slot].isEmpty())
        line += QStringLiteral("  ") + list.effects[slot];
    return line;
}

} // namespace

std::optional<ListOfFile> ReadListOrSay(const QString& path)
{
    const ListFileRead read = ReadListFile(path);
    if (!read.ok()) {
        Complain(ListReadProblem(read, path));
        return std::nullopt;
    }
    if (const QString notes = ListReadNotes(read); !notes.isEmpty())
        Complain(path + QStringLiteral(": ") + notes);
    return ListOfFile { read.list, read.meta };
}

std::optional<ListMeta> MetaWithCommentOrSay(const VerbCall& call)
{
    ListMeta meta;
    meta.comment = call.value(Opt::Comment);
    if (const QString refusal = CommentRefusal(meta.comment); !refusal.isEmpty()) {
        Complain(refusal);
        return std::nullopt;
    }
    return meta;
}

int Check(const VerbCall& call)
{
    const std::optional<ListOfFile> file = ReadListOrSay(call.file());
    if (!file)
        return Failure;
    for (const QString& line : ComputeStatistics(List1Lines(file->list)).text.split(QStringLiteral("\r\n")))
        Say(line);
    const ShotList& list = file->list;
    QList<int> withEffect;
    for (int slot = 0; slot < CountEntries(list); ++slot) {
        if (!list.effects[slot].isEmpty())
            withEffect.append(slot);
    }
    Say(QStringLiteral("Einträge mit Effekt: %1").arg(withEffect.size()));
    for (int slot : std::as_const(withEffect))
        Say(slotLine(list, slot));
    const QList<int> reserved = ReservedSlots(list);
    if (!reserved.isEmpty()) {
        Say(QStringLiteral("Vorgemerkt, ohne Zeit: %1").arg(reserved.size()));
        for (int slot : reserved)
            Say(slotLine(list, slot));
    }
    const QString duplicates = DuplicateText(FindDuplicateCircuits(file->list));
    if (!duplicates.isEmpty())
        Say(duplicates);
    SayMaterialCheck(*file);
    const std::optional<DeviationSummary> deviation
        = Deviations(SkyMarks(list, CountEntries(list), file->meta.effectData, file->meta.musicStartTenths));
    if (deviation)
        Say(DeviationText(*deviation));
    return Success;
}

int Print(const VerbCall& call)
{
    const OutputTarget target = outputOf(call, Opt::Pdf);
    if (!mayWrite(target, Opt::Pdf))
        return Failure;
    const std::optional<ListOfFile> file = ReadListOrSay(call.file());
    if (!file)
        return Failure;
    const std::optional<EffectCatalogue> catalogue = UserCatalogueOrSay();
    const CrewSheet sheet = CrewSheetFor(
        file->list, file->meta, QDateTime::currentDateTime(), catalogue ? &*catalogue : nullptr);
    return WriteOutput(target, [&](QString* error) { return WriteCrewSheetPdf(target.path, sheet, error); });
}

int ExportCsv(const VerbCall& call)
{
    const OutputTarget target = outputOf(call, Opt::Csv);
    if (!mayWrite(target, Opt::Csv))
        return Failure;
    const std::optional<ListOfFile> file = ReadListOrSay(call.file());
    if (!file)
        return Failure;
    return WriteOutput(target, [&](QString* error) {
        return WriteShotListCsv(target.path, file->list, file->meta.effectData, error);
    });
}

// All or nothing: with any row that cannot be taken, no file is written.
int ImportCsv(const VerbCall& call)
{
    const OutputTarget target = outputOf(call, Opt::Fsl);
    if (!mayWrite(target, Opt::Fsl))
        return Failure;
    const std::optional<ListMeta> commented = MetaWithCommentOrSay(call);
    if (!commented)
        return Failure;
    ListMeta meta = *commented;
    const std::optional<CsvImportOptions> options = importOptions(call);
    if (!options)
        return Failure;
    const CsvImport imported = ReadShotListCsv(call.file(), *options);
    if (!imported.list) {
        Complain(QStringLiteral("Die Datei %1 wurde nicht übernommen:").arg(call.file()));
        for (const QString& problem : imported.problems)
            Complain(problem);
        return Failure;
    }
    meta.effectData = imported.effectData;
    const int written = WriteOutput(
        target, [&](QString* error) { return WriteListFile(target.path, *imported.list, meta, error); });
    if (written == Success) {
        Say(QStringLiteral("Die Datei %1 wurde übernommen:").arg(call.file()));
        for (const QString& line : CsvSummaryLines(imported))
            Say(line);
    }
    return written;
}
