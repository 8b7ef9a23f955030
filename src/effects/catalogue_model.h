#pragma once

#include "effect_catalogue.h"
#include "effect_data.h"

#include "shotlist/shot_list.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QStringList>
#include <QUndoStack>

// The user's catalogue as a table: one column per field, then how many shots of the list use each
// name. Every edit, addition and deletion is a step on the model's own undo stack; a value that
// cannot be read changes nothing and refused() says why.
class CatalogueModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        NameColumn,
        ArtColumn,
        CaliberColumn,
        PrefireColumn,
        DurationColumn,
        HeightColumn,
        SafetyDistanceColumn,
        NemColumn,
        ClassColumn,
        StockColumn,
        ShotsColumn,
        ColumnCount
    };
    // Numbers as numbers for sorting (unknown below every value); Art and Klasse by their order.
    static constexpr int SortRole = Qt::UserRole;
    // The stock warning's colours.
    static const QColor ShortfallText;
    static const QColor ShortfallBackground;

    explicit CatalogueModel(QObject* parent = nullptr);

    const EffectCatalogue& catalogue() const { return m_catalogue; }
    // A catalogue just read: no history.
    void setCatalogue(const EffectCatalogue& catalogue);
    // The shots that count: entries 1..entryCount of list.
    void setList(const ShotList& list, int entryCount);
    // Shots of the list whose effect is exactly name.
    int shotsOf(const QString& name) const { return m_shots.value(name); }
    // "„Bombe 75 mm“: 5 Schüsse, Bestand 3 Stück", one per article the list needs more of than the stock.
    QStringList stockWarnings() const;

    QUndoStack& undoStack() { return m_stack; }
    int rowOf(const QString& name) const;

    // A new article "Neuer Effekt" ("Neuer Effekt 2", …) without data; its row.
    int addEffect();
    // Adds data as one step; the reason when refused (empty when done).
    QString addEffect(const EffectData& data);
    // The whole catalogue replaced by another as one step named text (an import); false when equal.
    bool replaceCatalogue(const EffectCatalogue& catalogue, const QString& text);
    // The articles on rows as one step; false when there is none.
    bool removeEffects(const QList<int>& rows);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    // A typed value or a change that was not taken, in German.
    void refused(const QString& reason);
    // A value taken but stored in another form than typed ("NEM: „1,2 kg“ gespeichert als 1.200,0 g.").
    void noted(const QString& text);
    // The catalogue changed (an edit, undo or redo): it is to be written.
    void catalogueChanged();

private:
    // The steps' work, with the view told of every row that comes, goes or moves.
    void insertData(const EffectData& data);
    void removeName(const QString& name);
    void replaceData(const QString& name, const EffectData& data);
    void resetTo(const EffectCatalogue& catalogue);
    int insertionRow(const QString& name) const;
    void shotsChanged();
    QString stockWarning(const EffectData& data) const;

    EffectCatalogue m_catalogue;
    QHash<QString, int> m_shots;
    QUndoStack m_stack;
};
