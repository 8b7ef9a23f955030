// libFuzzer target: the catalogue import on any table; what it accepts are valid articles of names unique
// but for case, which taken into an empty catalogue and then once more change nothing the second time, and
// which the catalogue's own file gives back.
#include "effects/catalogue_import.h"
#include "files/csv_file.h"
#include "fuzz_check.h"

#include <QSet>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const CatalogueImportTable table = ReadCatalogueImport(bytes);
    check(table.problems.size() <= MaxCsvProblems + 1);
    check(table.effects.size() == table.lines.size());
    if (!table.ok()) {
        check(table.effects.isEmpty());
        return 0;
    }
    check(!table.effects.isEmpty() && table.effects.size() <= MaxCatalogueRows);
    QSet<QString> names;
    for (qsizetype i = 0; i < table.effects.size(); ++i) {
        check(EffectDataProblems(table.effects[i]).isEmpty());
        check(table.effects[i].name == table.effects[i].name.trimmed());
        check(table.lines[i] > table.headerLine && (i == 0 || table.lines[i] > table.lines[i - 1]));
        names.insert(table.effects[i].name.toCaseFolded());
    }
    check(names.size() == table.effects.size());

    const CatalogueImportPlan first = PlanCatalogueImport(EffectCatalogue(), table);
    check(first.ok() && first.updated.isEmpty() && first.unchanged == 0);
    check(first.added.size() == table.effects.size() && first.withAdded.size() == table.effects.size());
    check(first.withUpdated == first.withAdded);
    const CatalogueImportPlan second = PlanCatalogueImport(first.withAdded, table);
    check(second.ok() && second.added.isEmpty() && second.updated.isEmpty());
    check(second.unchanged == table.effects.size() && second.withUpdated == first.withAdded);

    const CatalogueImportTable own = ReadCatalogueImport(CatalogueBytes(first.withAdded));
    check(own.ok());
    const CatalogueImportPlan back = PlanCatalogueImport(EffectCatalogue(), own);
    check(back.ok() && back.withAdded == first.withAdded);
    return 0;
}
