#pragma once

#include "editor_rules.h"
#include "shot_list.h"

#include "effects/effect_data.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QUndoStack>

#include <functional>
#include <optional>
#include <utility>

// The music starts within the show's range of times, either side of its start.
constexpr qint32 MusicStartLimitTenths = 10 * LastValidTime;
// Tenths of a second as seconds with one decimal: "-3.0" for a file, "-3,0" to be read by the user.
QString TenthsText(qint32 tenths, QChar decimalSeparator, QChar minus = QLatin1Char('-'));

// How a change goes on the undo stack.
struct ListChangeKind {
    QString mergeKey; // changes with the same key in a row are one step
    bool replacesList = false; // a new list with a name and comment of its own
};

// What a list carries besides its entries.
struct ListMeta {
    // The file the list was last loaded from, saved to or imported from (absolute); empty for a new
    // list and for one from the device.
    QString sourcePath;
    QString comment;
    // The show's music (absolute path), empty without; where it starts in show time, in tenths of a
    // second (negative: before the firing clock's sequence).
    QString musicPath;
    qint32 musicStartTenths = 0;
    // Keys of a list file's [Kelto] block that this Kelto does not know, kept in their order and
    // written back unchanged.
    QList<std::pair<QString, QString>> otherKeys;
    // The data of the list's effects by exact name, so the list shows and prints it on any computer.
    // A file carries the data of the names its entries use; stock is not the list's and stays empty.
    EffectDataMap effectData;

    bool operator==(const ListMeta& other) const;
    bool operator!=(const ListMeta& other) const { return !(*this == other); }
};

// "show.fsl" for the source path, empty text for a list without one.
QString ListName(const ListMeta& meta);

// The one list in memory, what it carries and every change to it. Each change is one step on the
// undo stack, and every change, undo and redo raises the revision and emits changed() once.
//
// A change the window asks for names the revision at which it read what it shows (the selected
// line, the values in the fields). While a box is open, the event loop runs on: a receive may
// replace the list underneath. A change based on an older revision is refused, so an answer
// never acts on a list the user did not see.
//
// The saved state is the clean state of the undo stack: the revision at which the list was last
// loaded, saved, received or imported from a file.
class ListDocument : public QObject {
    Q_OBJECT
public:
    enum class InsertResult { Inserted, NothingToDo, ListFull, NoFreeSecond, Stale };
    enum class Saved { No, Yes };

    explicit ListDocument(QObject* parent = nullptr);

    const ShotList& list() const { return m_list; }
    const ListMeta& meta() const { return m_meta; }
    QString name() const { return ListName(m_meta); }
    int entryCount() const { return m_entryCount; }
    quint64 revision() const { return m_revision; }
    bool isSaved() const { return m_stack.isClean(); }
    // When the list last changed (a change, undo or redo); invalid before the first.
    QDateTime lastChanged() const { return m_lastChanged; }
    QUndoStack& undoStack() { return m_stack; }

    // A new list without history (start-up); it counts as saved.
    void reset(const ShotList& list, const ListMeta& meta = {});

    // The rules of the entry editor on line row; false when nothing changed or the change was refused.
    bool applySince(quint64 basedOn, int row, double since, double savedSince);
    bool applyUntil(quint64 basedOn, int row, double until, double savedUntil);
    bool deleteRest(quint64 basedOn, int row);
    bool applyCircuit(quint64 basedOn, int row, int device, double number);
    InsertResult insertEntry(quint64 basedOn, int row);
    bool deleteEntry(quint64 basedOn, int row);
    // The effect of the entry on row, or of the first empty slot behind the list, where it waits for the
    // entry appended there; refused on a slot further down. The text must pass EffectRefusal, else
    // nothing changes. Changes with the same nonzero typingRun on the same row are one undo step:
    // a run of typing in one field.
    bool setEffect(quint64 basedOn, int row, const QString& effect, quint64 typingRun = 0);
    // The effect of row chosen from the catalogue: the name and its data in one step.
    bool chooseEffect(quint64 basedOn, int row, const EffectData& data);
    // Data for every shot with each name, as one step named text; refused (nothing changed) when one
    // is not storable (EffectDataProblems). Stock is not kept.
    bool setEffectData(quint64 basedOn, const QList<EffectData>& data, const QString& text);
    // The list's comment, the one line its file holds for it (CommentRefusal); typingRun as for effects.
    bool setComment(quint64 basedOn, const QString& comment, quint64 typingRun = 0);
    // Refused when a list file cannot hold the path (IsStorableLine).
    bool setMusic(quint64 basedOn, const QString& path);
    bool setMusicStart(quint64 basedOn, qint32 tenths);
    // A tapped shot: an entry at second with circuit, in time order. Refused with the rule's reason,
    // or as stale (nullopt) when the list changed since basedOn. row as in TapEntry.
    std::optional<TapOutcome> tapEntry(quint64 basedOn, qint32 second, qint16 circuit, int* row = nullptr);
    // A tapped effect: as tapEntry, the new entry with this effect (its data copied when given) and the
    // tapped moment as its target in music time.
    std::optional<TapOutcome> tapEffect(quint64 basedOn, qint32 second, qint16 circuit, const EffectData& effect,
        bool copyData, qint32 targetMusicMs, int* row = nullptr);
    // The list's entries in the order and at the seconds given (aligned to their targets), with the
    // Musikbeginn given, as one step named text. False when stale or nothing changes.
    bool rearrange(quint64 basedOn, const ShotList& list, qint32 musicStartTenths, const QString& text);
    // The entry on row, seconds later (earlier when negative); nullopt when stale.
    std::optional<MoveOutcome> moveEntry(quint64 basedOn, int row, qint32 seconds);

    // A whole list (slots 0..169) with what it carries, from a file, the device, a table or a
    // recovery copy: one step named text. Saved::Yes makes it the saved state. False only when refused
    // as stale; a list equal to the one there records no step and emits nothing (but may become the
    // saved state).
    bool replace(quint64 basedOn, const ShotList& list, const ListMeta& meta, const QString& text,
        Saved saved = Saved::No);

    // The list at revision basedOn was written to path with this comment: it becomes the list's
    // source and the saved state. Refused (false, nothing changed) when the list was replaced or
    // changed since: the file then holds the list the user saw, but the list now in the editor
    // is not that file's. The name and comment stay through undo and redo of the steps since the list
    // was last replaced; only the entries and what they carry go back.
    bool markSaved(quint64 basedOn, const QString& path, const QString& comment);

    // Take back or bring back one step; the line it touched, or -1 when there was none to take or it
    // touched no line (the music).
    int undo();
    int redo();

signals:
    // The entries or what they carry changed (a change, undo or redo).
    void changed();
    // The source or comment changed without a change of the list (a save).
    void metaChanged();
    // The list was written to its file: no work of it is only in memory any more.
    void savedToFile();
    // The list reached or left its saved state.
    void savedChanged(bool saved);

private:
    friend class ListChange;
    using Rule = std::function<void(ShotList&)>;
    using ChangeKind = ListChangeKind;
    bool change(quint64 basedOn, const QString& text, int row, Rule rule,
        std::optional<ListMeta> metaAfter = std::nullopt, const ChangeKind& kind = {});
    void keepSavedIdentity();
    void setChanged();

    ShotList m_list = ShotList::startup();
    ListMeta m_meta;
    int m_entryCount = 1;
    quint64 m_revision = 0;
    QDateTime m_lastChanged;
    QUndoStack m_stack;
};
