#include "catalogue_store.h"

#include <QDir>
#include <QFileInfo>

namespace {
// Edits in quick succession (typing through a row) make one write.
constexpr int WriteDelayMs = 300;
} // namespace

CatalogueStore::CatalogueStore(const QString& path, QObject* parent)
    : QObject(parent)
    , m_path(path)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(WriteDelayMs);
    connect(&m_timer, &QTimer::timeout, this, &CatalogueStore::flush);
    load();
    connect(&m_model, &CatalogueModel::catalogueChanged, this, [this] {
        if (m_readOnly)
            return;
        m_pending = true;
        m_timer.start();
    });
}

CatalogueStore::~CatalogueStore() { flush(); }

void CatalogueStore::load()
{
    const CatalogueRead read = ReadCatalogueFile(m_path);
    if (read.ok()) {
        m_model.setCatalogue(read.catalogue);
        return;
    }
    if (read.outcome == CatalogueRead::Outcome::Missing)
        return;
    QString reason;
    const QString newPath = SetAsideCatalogue(m_path, &reason);
    if (!newPath.isEmpty()) {
        m_loadProblem = CatalogueSetAsideText(newPath, read.problems);
        return;
    }
    m_readOnly = true;
    m_loadProblem = QStringLiteral("Der Effektkatalog %1 kann nicht gelesen werden:\n%2\n\n"
                                   "Er lässt sich auch nicht umbenennen (%3). Damit nichts verloren geht, "
                                   "werden Änderungen am Katalog nicht in diese Datei geschrieben.")
                        .arg(QDir::toNativeSeparators(m_path), read.problems.join(QLatin1Char('\n')), reason);
}

bool CatalogueStore::flush()
{
    if (!m_pending)
        return m_writeProblem.isEmpty();
    m_timer.stop();
    m_pending = false;
    QString error;
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder))
        error
            = QStringLiteral("Der Ordner %1 lässt sich nicht anlegen.").arg(QDir::toNativeSeparators(folder));
    else
        WriteCatalogueFile(m_path, m_model.catalogue(), &error);
    m_writeProblem = error;
    if (!error.isEmpty()) {
        // Still to be written: the next change or the store's end tries again.
        m_pending = true;
        emit writeFailed(QStringLiteral("Der Effektkatalog wurde nicht gespeichert: %1").arg(error));
        return false;
    }
    emit written();
    return true;
}
