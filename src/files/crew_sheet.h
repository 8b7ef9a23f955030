#pragma once

#include "effects/effect_catalogue.h"
#include "effects/effect_data.h"
#include "shotlist/list_document.h"
#include "shotlist/shot_list.h"

#include <QDateTime>
#include <QPageLayout>
#include <QString>

#include <optional>

class QPagedPaintDevice;

// What the crew takes to the site: statistics and timeline, firing table, material, wiring plan.
struct CrewSheet {
    ShotList list;
    QString title; // file name, or "Neue Liste"
    QString comment;
    QDateTime printed;
    QString musicPath; // empty without music
    qint32 musicStartTenths = 0;
    EffectDataMap effectData; // the list's, by exact effect name
    // The user's catalogue, asked for stock only; without the stock of any of the list's effects the
    // sheet has no stock column.
    std::optional<EffectCatalogue> stockFrom;
};

// The sheet of a list as the document holds it: named after its file, or "Neue Liste"; with the
// stock of the catalogue when one is given.
CrewSheet CrewSheetFor(const ShotList& list, const ListMeta& meta, const QDateTime& printed,
    const EffectCatalogue* catalogue = nullptr);

// "B (Verteiler)" for device index 1, as in the editor's device box.
QString DeviceName(int device);

// A4 portrait with margins of 15 mm left and right and 12 mm top and bottom, clear of a printer's
// unprintable edge: the page of the sheet wherever it is made, window or command line.
QPageLayout CrewSheetPageLayout();

// Draws the whole sheet onto the device (printer, preview or PDF), one page after another, in the
// device's page layout. Returns the number of pages, 0 when the device could not be painted on.
int PaintCrewSheet(QPagedPaintDevice& device, const CrewSheet& sheet);

// A4 portrait PDF; the target is replaced only once the whole file is written.
bool WriteCrewSheetPdf(const QString& path, const CrewSheet& sheet, QString* error);
