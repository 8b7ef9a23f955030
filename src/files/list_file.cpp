#include "list_file.h"

#include "effects/list_effect_data.h"

#include "fsl_file.h"
#include "system_reason.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString musicAsWritten(const QString& music, const QString& targetPath)
{
    if (music.isEmpty())
        return QString();
    const QDir folder = QFileInfo(targetPath).absoluteDir();
    const QString relative = folder.relativeFilePath(QFileInfo(music).absoluteFilePath());
    if (!relative.startsWith(QLatin1String("../")) && relative != QLatin1String("..")
        && !QDir::isAbsolutePath(relative))
        return relative;
    return QDir::toNativeSeparators(QFileInfo(music).absoluteFilePath());
}

QString musicAsRead(const QString& music, const QString& filePath)
{
    if (music.isEmpty())
        return QString();
    return QDir::cleanPath(
        QFileInfo(filePath).absoluteDir().absoluteFilePath(QDir::fromNativeSeparators(music)));
}

} // namespace

ListFileRead ReadListFile(const QString& path)
{
    ListFileRead read;
    const QFileInfo info(path);
    if (!info.exists()) {
        read.outcome = ListFileRead::Outcome::Missing;
        return read;
    }
    // A pipe or a device named like a list would block the reader until someone writes to it.
    if (!info.isFile()) {
        read.outcome = ListFileRead::Outcome::NotAFile;
        return read;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        read.outcome = ListFileRead::Outcome::Unreadable;
        read.reason = GermanReason(file.errorString());
        return read;
    }
    const std::optional<FslContent> content = ReadShotListFile(file, ListFileSignature);
    if (!content) {
        read.outcome = file.error() != QFileDevice::NoError ? ListFileRead::Outcome::Unreadable
                                                            : ListFileRead::Outcome::NotAList;
        read.reason = GermanReason(file.errorString());
        return read;
    }
    read.outcome = ListFileRead::Outcome::Read;
    read.list = content->list;
    NormalizeList(read.list);
    read.meta.sourcePath = info.absoluteFilePath();
    read.meta.comment = content->comment;
    read.meta.musicPath = musicAsRead(content->block.music, path);
    read.meta.musicStartTenths = content->block.musicStartTenths;
    EffectDataDecode decoded = DecodeEffectDataKeys(content->block.otherKeys);
    TargetDecode targets = DecodeTargetKeys(decoded.otherKeys, read.list);
    read.meta.otherKeys = std::move(targets.otherKeys);
    read.meta.effectData = std::move(decoded.data);
    read.refusedData = std::move(decoded.problems) + std::move(targets.problems);
    read.origin = content->block.origin;
    read.skippedLines = content->skippedLines;
    return read;
}

QString ListReadProblem(const ListFileRead& read, const QString& path)
{
    switch (read.outcome) {
    case ListFileRead::Outcome::Read:
        return QString();
    case ListFileRead::Outcome::Missing:
        return QStringLiteral("Die Datei %1 gibt es nicht.").arg(path);
    case ListFileRead::Outcome::NotAFile:
        return QStringLiteral("%1 ist keine Datei.").arg(path);
    case ListFileRead::Outcome::Unreadable:
        return QStringLiteral("Die Datei %1 lässt sich nicht lesen: %2").arg(path, read.reason);
    case ListFileRead::Outcome::NotAList:
        break;
    }
    return QStringLiteral("%1: Diese Datei ist keine gültige Feuerwerks-Schussliste...").arg(path);
}

QString SkippedLinesText(const QList<int>& lines)
{
    if (lines.isEmpty())
        return QString();
    QStringList numbers;
    for (int line : lines)
        numbers.append(QString::number(line));
    if (lines.size() == 1)
        return QStringLiteral(
            "Zeile %1 des [Kelto]-Blocks konnte nicht gelesen werden und wurde übersprungen.")
            .arg(numbers.constFirst());
    return QStringLiteral("Die Zeilen %1 des [Kelto]-Blocks konnten nicht gelesen werden und wurden "
                          "übersprungen.")
        .arg(numbers.join(QStringLiteral(", ")));
}

QString ListReadNotes(const ListFileRead& read)
{
    QStringList notes;
    if (!read.skippedLines.isEmpty())
        notes.append(SkippedLinesText(read.skippedLines));
    if (!read.refusedData.isEmpty())
        notes.append(QStringLiteral("Nicht übernommene Effektdaten:\n") + read.refusedData.join(QLatin1Char('\n')));
    return notes.join(QLatin1Char('\n'));
}

QByteArray ListFileBytes(
    const ShotList& list, const ListMeta& meta, const QString& targetPath, const QString& origin)
{
    KeltoBlock block;
    block.music = musicAsWritten(meta.musicPath, targetPath);
    block.musicStartTenths = meta.musicStartTenths;
    block.origin = origin;
    block.otherKeys = EffectDataKeys(list, meta.effectData);
    block.otherKeys += TargetKeys(list);
    block.otherKeys += meta.otherKeys;
    return ShotListFileBytes(ListFileSignature, meta.comment, list, block);
}

bool WriteListFile(
    const QString& path, const ShotList& list, const ListMeta& meta, QString* error, const QString& origin)
{
    return SaveBytes(path, ListFileBytes(list, meta, path, origin), error);
}
