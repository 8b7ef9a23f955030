#include "form1.h"

#include <QPlainTextEdit>
#include <QTabWidget>

bool Form1::RestoreList(const ShotList& restored, const ListMeta& meta)
{
    if (!ConfirmReplace())
        return false;
    const quint64 before = m_document->revision();
    if (!m_document->replace(
            before, restored, meta, QStringLiteral("Liste wiederherstellen"), ListDocument::Saved::No))
        return false;
    if (m_document->revision() == before)
        return false;
    showReplacedList();
    SSTab1->setCurrentIndex(2);
    return true;
}
