#include "catalogue_filter.h"

#include "catalogue_model.h"

CatalogueFilter::CatalogueFilter(QObject* parent)
    : QSortFilterProxyModel(parent)
{
    setSortRole(CatalogueModel::SortRole);
    setDynamicSortFilter(true);
}

void CatalogueFilter::setNameFilter(const QString& text)
{
    if (text == m_name)
        return;
    m_name = text;
    invalidateRowsFilter();
}

void CatalogueFilter::setArtFilter(std::optional<EffectArt> art)
{
    if (art == m_art)
        return;
    m_art = art;
    invalidateRowsFilter();
}

void CatalogueFilter::setClassFilter(std::optional<EffectClass> effectClass)
{
    if (effectClass == m_class)
        return;
    m_class = effectClass;
    invalidateRowsFilter();
}

bool CatalogueFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const QAbstractItemModel* model = sourceModel();
    const auto cell = [&](int column) {
        return model->data(model->index(sourceRow, column, sourceParent), CatalogueModel::SortRole);
    };
    if (!m_name.isEmpty()
        && !model->data(model->index(sourceRow, CatalogueModel::NameColumn, sourceParent))
                .toString()
                .contains(m_name.trimmed(), Qt::CaseInsensitive))
        return false;
    if (m_art && cell(CatalogueModel::ArtColumn).toInt() != int(*m_art))
        return false;
    if (m_class && cell(CatalogueModel::ClassColumn).toInt() != int(*m_class))
        return false;
    return true;
}
