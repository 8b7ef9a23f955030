#pragma once

#include <QByteArray>
#include <QPageLayout>
#include <QString>

#include <functional>

class QPagedPaintDevice;

// A PDF made in memory. QPdfWriter's stream stops writing after the first short write without an
// error anywhere, so it never writes to a file itself: the bytes go out through SaveBytes.
struct PdfPaper {
    QPageLayout layout;
    int resolution = 1200; // dots per inch
    QString title;
};

// Empty when paint reports that it could not draw.
QByteArray PdfBytes(const PdfPaper& paper, const std::function<bool(QPagedPaintDevice&)>& paint);

// Written whole or not at all: on failure the old file stays and error says why, in German.
bool WritePdf(const QString& path, const PdfPaper& paper,
    const std::function<bool(QPagedPaintDevice&)>& paint, QString* error);
