// libFuzzer target: the effect catalogue reader on any bytes; what it accepts is a valid catalogue of
// names unique but for case, and it writes and reads back unchanged.
#include "effects/effect_catalogue.h"
#include "files/csv_file.h"
#include "fuzz_check.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const CatalogueRead read = ReadCatalogue(bytes);
    check(read.ok() == read.problems.isEmpty());
    check(read.outcome != CatalogueRead::Outcome::Missing);
    check(read.problems.size() <= MaxCsvProblems + 1);
    if (!read.ok()) {
        check(read.catalogue.isEmpty());
        return 0;
    }
    const QList<EffectData>& effects = read.catalogue.effects();
    check(effects.size() <= MaxCatalogueRows);
    for (qsizetype i = 0; i < effects.size(); ++i) {
        check(EffectDataProblems(effects[i]).isEmpty());
        check(effects[i].name == effects[i].name.trimmed());
        check(read.catalogue.find(effects[i].name) == &effects[i]);
        if (i > 0)
            check(effects[i - 1].name.toCaseFolded() < effects[i].name.toCaseFolded());
    }
    const CatalogueRead again = ReadCatalogue(CatalogueBytes(read.catalogue));
    check(again.ok() && again.catalogue == read.catalogue);
    return 0;
}
