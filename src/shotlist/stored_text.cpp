#include "stored_text.h"

#include "shot_list.h"

#include <QList>
#include <QStringDecoder>

#include <algorithm>
#include <bitset>

namespace {

// Every character Windows-1252 has, one for each byte.
const QString& codepageRepertoire()
{
    static const QString repertoire = [] {
        QByteArray all(256, '\0');
        for (int i = 0; i < 256; ++i)
            all[i] = char(i);
        QStringDecoder decoder("windows-1252");
        return QString(decoder.decode(all));
    }();
    return repertoire;
}

bool isLineBreak(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar::LineSeparator
        || c == QChar::ParagraphSeparator;
}

} // namespace

// One bit per character of the basic plane: file code asks this for every character it writes or reads.
bool InCodepage(QChar c)
{
    static const std::bitset<0x10000> known = [] {
        std::bitset<0x10000> bits;
        for (QChar member : codepageRepertoire())
            bits.set(member.unicode());
        return bits;
    }();
    return known.test(c.unicode());
}

QString StoredText(QStringView text)
{
    if (std::all_of(text.begin(), text.end(), InCodepage))
        return text.toString();
    QString stored;
    stored.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        // A character outside the basic plane is one character: one "?".
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        stored += InCodepage(c) ? c : QLatin1Char('?');
    }
    return stored;
}

bool IsStorableLine(QStringView text)
{
    for (QChar c : text) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || !InCodepage(c))
            return false;
    }
    return true;
}

QString FirstUnstorableCharacter(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (isLineBreak(c) || InCodepage(c))
            continue;
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            return text.mid(i, 2).toString();
        return QString(c);
    }
    return QString();
}

QString CharacterName(const QString& character)
{
    const QList<uint> codes = character.toUcs4();
    const uint code = codes.isEmpty() ? 0 : codes.first();
    return QStringLiteral("„%1“ (U+%2)")
        .arg(character, QStringLiteral("%1").arg(code, 4, 16, QLatin1Char('0')).toUpper());
}

QString EffectRefusal(QStringView effect)
{
    for (QChar c : effect) {
        if (isLineBreak(c))
            return QStringLiteral("Ein Effekt steht auf einer Zeile, ohne Zeilenumbruch.");
    }
    const QString unstorable = FirstUnstorableCharacter(effect);
    if (!unstorable.isEmpty())
        return QStringLiteral("Das Zeichen %1 kann eine Listendatei nicht speichern.")
            .arg(CharacterName(unstorable));
    const qsizetype length = effect.trimmed().size();
    if (length > EffectMaxLength)
        return QStringLiteral("Ein Effekt hat höchstens %1 Zeichen (dieser hat %2).")
            .arg(EffectMaxLength)
            .arg(length);
    return QString();
}

QString CommentRefusal(QStringView comment)
{
    if (IsStorableLine(comment))
        return QString();
    const QString character = FirstUnstorableCharacter(comment);
    if (character.isEmpty())
        return QStringLiteral("Der Kommentar muss auf einer Zeile stehen; eine Listendatei hat für ihn nur eine.");
    return QStringLiteral("Der Kommentar enthält %1, das eine Listendatei nicht aufnehmen kann (nur "
                          "westeuropäische Zeichen, Windows-1252).")
        .arg(CharacterName(character));
}
