#include "tapping.h"

#include "show_time.h"

#include <QChar>

namespace {

constexpr int CircuitsPerDevice = 32;
constexpr int DeviceB = 1;
constexpr int DeviceC = 2;
constexpr int DeviceH = 7;

QString deviceLetter(int device) { return QString(QChar(u'A' + device)); }

QString tappedAt(qint64 second) { return QStringLiteral("Getippt bei %1: ").arg(ShowClock(second * 1000)); }

} // namespace

int CircuitNumbers(int device) { return device == DeviceH ? CircuitsPerDevice - 1 : CircuitsPerDevice; }

std::optional<int> NextFreeCircuit(const ShotList& list, int shotCount, int device, int from)
{
    const int numbers = CircuitNumbers(device);
    // H n fires B n and C n too: for B and C a number H uses is taken, for H one that B or C uses.
    const auto fires = [device](int other) {
        if (other == device)
            return true;
        if (device == DeviceH)
            return other == DeviceB || other == DeviceC;
        return other == DeviceH && (device == DeviceB || device == DeviceC);
    };
    bool used[CircuitsPerDevice] = {};
    for (int slot = 0; slot < shotCount; ++slot) {
        const qint16 code = list.circuits[slot];
        if (code != NoCircuit && fires(code / CircuitsPerDevice))
            used[code % CircuitsPerDevice] = true;
    }
    const int start = from >= 0 && from < numbers ? from : 0;
    for (int i = 0; i < numbers; ++i) {
        const int number = (start + i) % numbers;
        if (!used[number])
            return number;
    }
    return std::nullopt;
}

QString NextCircuitText(int device, std::optional<int> number)
{
    if (!number)
        return QStringLiteral("kein freier Kreis auf %1").arg(deviceLetter(device));
    return QStringLiteral("nächster Kreis: %1 %2")
        .arg(deviceLetter(device))
        .arg(*number, 2, 10, QLatin1Char('0'));
}

QString TapNotice(TapOutcome outcome, const ShotList& list, int row, qint64 second)
{
    switch (outcome) {
    case TapOutcome::Added:
        return QStringLiteral("Eintrag %1 bei %2 auf %3 getippt.")
            .arg(row + 1)
            .arg(ShowClock(second * 1000), CircuitLabel(list.circuits[row]));
    case TapOutcome::SecondTaken:
        return tappedAt(second)
            + QStringLiteral("In dieser Sekunde steht schon Eintrag %1 – nichts hinzugefügt.").arg(row + 1);
    case TapOutcome::BeforeStart:
        return tappedAt(second)
            + QStringLiteral("vor dem Beginn der Sequenz (00:00:00) – nichts hinzugefügt.");
    case TapOutcome::AfterEnd:
        return tappedAt(second)
            + QStringLiteral("nach der letzten möglichen Zündung (%1) – nichts hinzugefügt.")
                  .arg(FormatClock(LastValidTime));
    case TapOutcome::ListFull:
        return tappedAt(second)
            + QStringLiteral("Die Liste ist voll, alle %1 Einträge sind belegt – nichts hinzugefügt.")
                  .arg(EntryCount);
    }
    return QString();
}

QString NoFreeCircuitNotice(int device, qint64 second)
{
    return tappedAt(second)
        + QStringLiteral("Zündgerät %1 hat keinen freien Zündkreis mehr – nichts hinzugefügt.")
              .arg(deviceLetter(device));
}

QString MoveNotice(MoveOutcome outcome, const ShotList& list, int row)
{
    switch (outcome) {
    case MoveOutcome::Moved:
        return QStringLiteral("Eintrag %1 jetzt bei %2.").arg(row + 1).arg(FormatClock(list.times[row]));
    case MoveOutcome::NoEntry:
        return QString();
    case MoveOutcome::PreviousInTheWay:
        return QStringLiteral("Eintrag %1 kann nicht früher: Eintrag %2 liegt bei %3.")
            .arg(row + 1)
            .arg(row)
            .arg(FormatClock(list.times[row - 1]));
    case MoveOutcome::NextInTheWay:
        return QStringLiteral("Eintrag %1 kann nicht später: Eintrag %2 liegt bei %3.")
            .arg(row + 1)
            .arg(row + 2)
            .arg(FormatClock(list.times[row + 1]));
    case MoveOutcome::BeforeStart:
        return QStringLiteral("Eintrag %1 kann nicht vor 00:00:00.").arg(row + 1);
    case MoveOutcome::AfterEnd:
        return QStringLiteral("Eintrag %1 kann nicht nach %2.").arg(row + 1).arg(FormatClock(LastValidTime));
    }
    return QString();
}
