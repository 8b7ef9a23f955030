#pragma once

#include "effect_data.h"

#include <QSortFilterProxyModel>

#include <optional>

// The catalogue's rows a user looks for: names containing a text (case ignored), of one Art, of one
// Klasse; sorted by the model's values, numbers as numbers.
class CatalogueFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit CatalogueFilter(QObject* parent = nullptr);

    void setNameFilter(const QString& text);
    // nullopt: every Art (every Klasse).
    void setArtFilter(std::optional<EffectArt> art);
    void setClassFilter(std::optional<EffectClass> effectClass);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString m_name;
    std::optional<EffectArt> m_art;
    std::optional<EffectClass> m_class;
};
