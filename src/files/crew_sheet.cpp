#include "crew_sheet.h"

#include "pdf_file.h"
#include "timeline_painter.h"

#include "effects/material_list.h"
#include "shotlist/duplicates.h"
#include "shotlist/list_views.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

constexpr int DeviceCount = 8;
constexpr int CircuitsPerDevice = 32;
constexpr int DeviceB = 1;
constexpr int DeviceC = 2;
constexpr int DeviceH = 7;
constexpr int NoDevice = TimelineNoCircuitLane;

QFont sheetFont(double points, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    // No ligatures: text copied from the PDF (and read by pdftotext) keeps "fi" and "ff" as letters.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

QString twoDigits(int number) { return QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0')); }

// "finale.mp3, Beginn −3,0 s"
QString musicText(const QString& path, qint32 startTenths)
{
    // One arg() call: a "%2" in the file name is not a place holder.
    return QStringLiteral("Musik: %1, Beginn %2 s")
        .arg(QFileInfo(path).fileName(), TenthsText(startTenths, QLatin1Char(','), QChar(0x2212)));
}

// One cell of a table: its lines as wrapped into the cell.
struct Cell {
    QStringList lines;
    const QFont* font = nullptr;
    Qt::Alignment align = Qt::AlignLeft;
    bool box = false;
};

// Lays the sheet out page by page. The first pass runs without a painter and only counts the pages,
// so the second can write "Seite x von y"; both take the same measures and the same page breaks.
// Every text is wrapped to its width before it is placed, and everything placed stays above the
// page's foot: what does not fit goes on, line by line, on the next page.
class SheetPainter {
public:
    SheetPainter(QPagedPaintDevice& device, const CrewSheet& sheet, QPainter* painter, int pageCount)
        : m_device(device)
        , m_sheet(sheet)
        , m_painter(painter)
        , m_pageCount(pageCount)
        , m_body(sheetFont(10))
        , m_bold(sheetFont(10, true))
        , m_small(sheetFont(8))
        , m_tiny(sheetFont(6.5))
        , m_heading(sheetFont(14, true))
        , m_table(sheetFont(8.5))
        , m_tableBold(sheetFont(8.5, true))
    {
        const QRect paint = device.pageLayout().paintRectPixels(device.logicalDpiY());
        m_width = paint.width();
        m_height = paint.height();
        m_list = sheet.list;
        NormalizeList(m_list);
        m_entries = CountEntries(m_list);
        const QList<int> doubled = DuplicateSlots(FindDuplicateCircuits(m_list));
        for (int slot : doubled)
            m_doubled[slot] = true;
        m_material
            = ComputeMaterial(sheet.list, sheet.effectData, sheet.stockFrom ? &*sheet.stockFrom : nullptr);
    }

    int run()
    {
        startPage();
        drawOverview();
        drawTimeline();
        drawFiringTable();
        drawMaterial();
        newPage();
        drawWiringPlan();
        return m_page;
    }

private:
    double mm(double value) const { return value * m_device.logicalDpiY() / 25.4; }
    double lineHeight(const QFont& font) const { return QFontMetricsF(font, &m_device).height(); }
    double textWidth(const QFont& font, const QString& text) const
    {
        return QFontMetricsF(font, &m_device).horizontalAdvance(text);
    }
    double bodyBottom() const { return m_height - lineHeight(m_small) - mm(3); }
    double top() const { return lineHeight(m_small) + mm(5); }

    void text(const QRectF& rect, const QFont& font, const QString& text,
        int flags = Qt::AlignLeft | Qt::AlignVCenter)
    {
        if (!m_painter)
            return;
        m_painter->setFont(font);
        m_painter->drawText(rect, flags, text);
    }

    void line(QPointF a, QPointF b, double widthMm = 0.2, QColor color = Qt::black)
    {
        if (!m_painter)
            return;
        m_painter->setPen(QPen(color, mm(widthMm)));
        m_painter->drawLine(a, b);
        m_painter->setPen(Qt::black);
    }

    // The text broken into lines no wider than width: at spaces, or anywhere in a word longer
    // than the width.
    QStringList wrap(const QFont& font, const QString& text, double width) const
    {
        QStringList lines;
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
            if (paragraph.isEmpty()) {
                lines.append(QString());
                continue;
            }
            QTextLayout layout(paragraph, font, &m_device);
            layout.setTextOption(option);
            layout.beginLayout();
            for (QTextLine textLine = layout.createLine(); textLine.isValid();
                 textLine = layout.createLine()) {
                textLine.setLineWidth(width);
                QString part = paragraph.mid(textLine.textStart(), textLine.textLength());
                while (!part.isEmpty() && part.back().isSpace())
                    part.chop(1);
                lines.append(part);
            }
            layout.endLayout();
        }
        return lines;
    }

    // Lines from..to of a wrapped text, one line height apart from y; each line already fits.
    void drawLines(const QStringList& lines, int from, int to, const QFont& font, double x, double y,
        double width, Qt::Alignment align = Qt::AlignLeft, const QColor& color = Qt::black)
    {
        if (!m_painter)
            return;
        const QFontMetricsF metrics(font, &m_device);
        m_painter->setFont(font);
        m_painter->setPen(color);
        for (int i = from; i < to; ++i, y += metrics.height()) {
            double left = x;
            if (align & Qt::AlignRight)
                left = x + width - metrics.horizontalAdvance(lines[i]);
            else if (align & Qt::AlignHCenter)
                left = x + (width - metrics.horizontalAdvance(lines[i])) / 2;
            m_painter->drawText(QPointF(left, y + metrics.ascent()), lines[i]);
        }
        m_painter->setPen(Qt::black);
    }

    // A text across the page, wrapped, going on on the next page where the page ends.
    void paragraph(const QFont& font, const QString& text)
    {
        const QStringList lines = wrap(font, text, m_width);
        const double h = lineHeight(font);
        for (int i = 0; i < lines.size(); ++i) {
            ensure(h);
            drawLines(lines, i, i + 1, font, 0, m_y, m_width);
            m_y += h;
        }
    }

    // Header line with name, comment and date; "Seite x von y" at the foot.
    void startPage()
    {
        ++m_page;
        const double h = lineHeight(m_small);
        const QString date = QStringLiteral("gedruckt am ")
            + QLocale(QLocale::German).toString(m_sheet.printed, QStringLiteral("dd.MM.yyyy HH:mm"));
        const double dateWidth = textWidth(m_small, date);
        QString left = m_sheet.title;
        if (!m_sheet.comment.isEmpty())
            left += QStringLiteral(" – ")
                + QString(m_sheet.comment).replace(QLatin1Char('\n'), QLatin1Char(' '));
        left
            = QFontMetricsF(m_small, &m_device).elidedText(left, Qt::ElideRight, m_width - dateWidth - mm(6));
        text(QRectF(0, 0, m_width - dateWidth - mm(4), h), m_small, left);
        text(QRectF(m_width - dateWidth - mm(1), 0, dateWidth + mm(1), h), m_small, date,
            Qt::AlignRight | Qt::AlignVCenter);
        line(QPointF(0, h + mm(1)), QPointF(m_width, h + mm(1)));
        const QString pageText = QStringLiteral("Seite %1 von %2").arg(m_page).arg(m_pageCount);
        text(QRectF(0, m_height - h, m_width, h), m_small, pageText, Qt::AlignRight | Qt::AlignVCenter);
        m_y = top();
    }

    void newPage()
    {
        if (m_painter)
            m_device.newPage();
        startPage();
    }

    // A new page unless the height still fits on this one.
    bool ensure(double height)
    {
        if (m_y + height <= bodyBottom())
            return false;
        newPage();
        return true;
    }

    void heading(const QString& title)
    {
        const double h = lineHeight(m_heading);
        text(QRectF(0, m_y, m_width, h), m_heading, title);
        m_y += h + mm(2);
    }

    // Title, then the whole comment and the music under it, then the statistics.
    void drawOverview()
    {
        heading(QStringLiteral("Schussplan"));
        if (!m_sheet.comment.isEmpty()) {
            paragraph(m_body, m_sheet.comment);
            m_y += mm(1.5);
        }
        if (!m_sheet.musicPath.isEmpty()) {
            paragraph(m_body, musicText(m_sheet.musicPath, m_sheet.musicStartTenths));
            m_y += mm(1.5);
        }
        m_y += mm(1);
        // Shots, duration and free entries; the count of lines (always 170) would read as shots.
        paragraph(m_body, QStringLiteral("Anzahl Schüsse: %1").arg(m_entries));
        paragraph(m_body,
            QStringLiteral("Zeitdauer: %1")
                .arg(m_entries > 0 ? FormatClock(m_list.times[m_entries - 1]) : QStringLiteral("--:--:--")));
        paragraph(m_body,
            QStringLiteral("Noch frei: %1 von %2 Einträgen").arg(EntryCount - m_entries).arg(EntryCount));
        const QString doubled = DuplicateText(FindDuplicateCircuits(m_list));
        if (!doubled.isEmpty()) {
            m_y += mm(1);
            paragraph(m_bold, doubled);
        }
        m_y += mm(5);
    }

    TimelineStyle timelineStyle(const QList<int>& lanes) const
    {
        TimelineStyle style;
        style.laneFont = m_small;
        style.numberFont = m_tiny;
        style.nameWidth = TimelineNameWidth(&m_device, lanes, m_small);
        style.nameGap = mm(3);
        style.markHalfHeight = mm(1.6);
        style.markWidth = mm(0.35);
        style.selectedMarkWidth = mm(0.7);
        style.numberGap = mm(0.2);
        style.numberSpacing = mm(0.8);
        style.lineWidth = mm(0.15);
        style.gridWidth = mm(0.1);
        style.tickLength = mm(1.5);
        style.minorTickLength = mm(0.8);
        style.minorTickSpacing = mm(1.5);
        style.labelSpacing = mm(3);
        style.minimumStepSeconds = 60;
        return style;
    }

    // The show on a time axis, one lane per device in use, each shot a mark with its number where
    // the number fits; below it a legend for the stretches where numbers are missing.
    void drawTimeline()
    {
        const QList<int> lanes = TimelineLanes(m_list);
        const double smallH = lineHeight(m_small);
        const double laneH = 2 * lineHeight(m_tiny) + mm(4);
        const double axisH = smallH + mm(3);
        const double pictureH = std::max<double>(1, lanes.size()) * laneH + axisH;
        ensure(lineHeight(m_heading) + mm(2) + pictureH);
        heading(QStringLiteral("Zeitleiste"));
        if (m_entries == 0) {
            paragraph(m_body, QStringLiteral("Die Liste hat keine Einträge."));
            m_y += mm(6);
            return;
        }

        const TimelineStyle style = timelineStyle(lanes);
        const QRectF plot(style.nameWidth + style.nameGap, m_y, m_width - style.nameWidth - style.nameGap,
            lanes.size() * laneH);
        // The show's first and last entry a little inside the plot, so their numbers stay beside them.
        const double pad = mm(5);
        const double first = m_list.times[0];
        const double last = std::max<double>(m_list.times[m_entries - 1], first + 60);
        const double perSecond = (plot.width() - 2 * pad) / (last - first);
        const double from = first - pad / perSecond;
        const double to = last + pad / perSecond;
        TimelineDrawn drawn;
        if (m_painter) {
            PaintTimelineAxis(*m_painter, plot, from, to, style);
            drawn = PaintTimelineLanes(*m_painter, m_list, plot, from, to, style);
            m_painter->setPen(Qt::black);
        } else {
            drawn = LayoutTimelineLanes(&m_device, m_list, plot, from, to, style);
        }
        m_y = plot.bottom() + axisH + mm(2);
        if (!drawn.unnumbered.isEmpty()) {
            ensure(lineHeight(m_bold) + lineHeight(m_body));
            paragraph(m_bold,
                QStringLiteral(
                    "Legende – wo im Bild Nummern fehlen, die Schüsse der Stelle der Reihe nach:"));
            for (const TimelineStretch& stretch : drawn.unnumbered) {
                QStringList numbers;
                for (int slot : stretch.entrySlots)
                    numbers.append(QString::number(slot + 1));
                const QString when = stretch.fromSeconds == stretch.toSeconds
                    ? FormatClock(qint32(stretch.fromSeconds))
                    : QStringLiteral("%1 bis %2")
                          .arg(FormatClock(qint32(stretch.fromSeconds)),
                              FormatClock(qint32(stretch.toSeconds)));
                paragraph(m_body,
                    QStringLiteral("%1, %2: Nr. %3")
                        .arg(TimelineLaneName(stretch.lane), when, numbers.join(QStringLiteral(", "))));
            }
        }
        m_y += mm(6);
    }

    // Column edges of the firing table: each column as wide as its widest content, the effect
    // gets what is left.
    QList<double> tableColumns() const
    {
        // A little room beyond the measured width, so rounding never wraps a word that fits.
        const double pad = 2 * cellPad() + mm(0.5);
        const auto widest = [&](const QFont& font, const QStringList& texts) {
            double w = 0;
            for (const QString& t : texts)
                w = std::max(w, textWidth(font, t));
            return w + pad;
        };
        QStringList devices { QStringLiteral("kein Zündkreis") };
        for (int device = 0; device < DeviceCount; ++device)
            devices.append(DeviceName(device));
        QList<double> widths {
            std::max(widest(m_bold, { QStringLiteral("Nr") }), widest(m_body, { QStringLiteral("170") })),
            std::max(
                widest(m_bold, { QStringLiteral("Zeit") }), widest(m_body, { QStringLiteral("00:00:00") })),
            std::max(widest(m_bold, { QStringLiteral("Abstand"), QStringLiteral("(s)") }),
                widest(m_body, { QStringLiteral("65279") })),
            std::max(widest(m_bold, { QStringLiteral("Zündgerät") }), widest(m_body, devices)),
            widest(m_bold, { QStringLiteral("Kreis"), QStringLiteral("doppelt belegt") }),
            0,
            std::max(widest(m_bold, { QStringLiteral("geladen") }), mm(3.5) + pad),
        };
        // The narrowest a column can be: its longest word. Device names and "doppelt belegt" wrap
        // at their spaces on narrow paper; numbers and times never do.
        QList<double> least = widths;
        least[3] = std::max(widest(m_bold, { QStringLiteral("Zündgerät") }),
            widest(m_body, { QStringLiteral("(Verteiler)"), QStringLiteral("Zündkreis") }));
        least[4] = widest(
            m_bold, { QStringLiteral("Kreis"), QStringLiteral("doppelt"), QStringLiteral("belegt") });
        const auto sum = [](const QList<double>& list) {
            double total = 0;
            for (double w : list)
                total += w;
            return total;
        };
        const double effectMin = mm(25);
        const double need = sum(widths) + effectMin - m_width;
        if (need > 0) {
            const double room = sum(widths) - sum(least);
            for (int i = 0; i < widths.size(); ++i)
                widths[i] -= room > 0 ? (widths[i] - least[i]) * std::min(1.0, need / room) : 0;
            // Paper narrower still: every column gives up its share; cells wrap where they must.
            const double effectLeast = mm(12);
            if (sum(widths) + effectLeast > m_width) {
                const double scale = (m_width - effectLeast) / sum(widths);
                for (double& w : widths)
                    w *= scale;
            }
        }
        const double fixed = sum(widths);
        widths[5] = m_width - fixed;
        QList<double> edges { 0 };
        for (double w : widths)
            edges.append(edges.back() + w);
        return edges;
    }

    double cellPad() const { return m_narrowCells ? mm(0.8) : mm(1.2); }

    Cell cell(const QList<double>& edges, int column, const QFont& font, const QString& text,
        Qt::Alignment align = Qt::AlignLeft) const
    {
        Cell c;
        c.font = &font;
        c.align = align;
        c.lines = wrap(font, text, edges[column + 1] - edges[column] - 2 * cellPad());
        return c;
    }

    double rowHeight(const QList<Cell>& cells) const
    {
        double height = 0;
        for (const Cell& c : cells)
            height = std::max(height, std::max<qsizetype>(1, c.lines.size()) * lineHeight(*c.font));
        return height + 2 * rowPad();
    }

    double rowPad() const { return lineHeight(m_body) * 0.225; }

    // Cells start at the row's top line; the row is as high as its tallest cell.
    void tableRow(const QList<double>& edges, const QList<Cell>& cells, bool shaded)
    {
        const double height = rowHeight(cells);
        if (m_painter && shaded)
            m_painter->fillRect(QRectF(0, m_y, m_width, height), QColor(235, 235, 235));
        for (int i = 0; i < cells.size(); ++i) {
            const QRectF rect(edges[i] + cellPad(), m_y + rowPad(), edges[i + 1] - edges[i] - 2 * cellPad(),
                height - 2 * rowPad());
            if (cells[i].box && m_painter) {
                const double side = mm(3.5);
                m_painter->setPen(QPen(Qt::black, mm(0.25)));
                m_painter->setBrush(Qt::white);
                const double mid = rect.top() + lineHeight(m_body) / 2;
                m_painter->drawRect(QRectF(rect.center().x() - side / 2, mid - side / 2, side, side));
                m_painter->setBrush(Qt::NoBrush);
            }
            drawLines(cells[i].lines, 0, int(cells[i].lines.size()), *cells[i].font, rect.left(), rect.top(),
                rect.width(), cells[i].align);
        }
        m_y += height;
    }

    QList<Cell> headerCells(const QList<double>& edges) const
    {
        const Qt::Alignment right = Qt::AlignRight;
        return { cell(edges, 0, m_bold, QStringLiteral("Nr"), right),
            cell(edges, 1, m_bold, QStringLiteral("Zeit")),
            cell(edges, 2, m_bold, QStringLiteral("Abstand (s)"), right),
            cell(edges, 3, m_bold, QStringLiteral("Zündgerät")),
            cell(edges, 4, m_bold, QStringLiteral("Kreis")), cell(edges, 5, m_bold, QStringLiteral("Effekt")),
            cell(edges, 6, m_bold, QStringLiteral("geladen"), Qt::AlignHCenter) };
    }

    void firingTableHeader(const QList<Cell>& header, const QList<double>& edges)
    {
        tableRow(edges, header, false);
        line(QPointF(0, m_y), QPointF(m_width, m_y), 0.3);
    }

    void drawFiringTable()
    {
        const QList<double> edges = tableColumns();
        const QList<Cell> header = headerCells(edges);
        ensure(lineHeight(m_heading) + mm(2) + rowHeight(header) + 3 * (lineHeight(m_body) + 2 * rowPad()));
        heading(QStringLiteral("Zündfolge"));
        firingTableHeader(header, edges);
        for (int slot = 0; slot < m_entries; ++slot) {
            const qint16 code = m_list.circuits[slot];
            const int device = TimelineLaneOf(code);
            const bool last = slot + 1 == m_entries;
            QList<Cell> cells {
                cell(edges, 0, m_body, QString::number(slot + 1), Qt::AlignRight),
                cell(edges, 1, m_body, FormatClock(m_list.times[slot])),
                cell(edges, 2, m_body,
                    last ? QStringLiteral("–") : QString::number(DurationToNext(m_list, slot)),
                    Qt::AlignRight),
            };
            if (device == NoDevice) {
                cells.append(cell(edges, 3, m_body, QStringLiteral("kein Zündkreis")));
                cells.append(cell(edges, 4, m_bold, QStringLiteral("–")));
            } else {
                const QString number = twoDigits(code % CircuitsPerDevice);
                cells.append(cell(edges, 3, m_body, DeviceName(device)));
                QString circuit = number;
                if (m_doubled[slot]) {
                    const QString oneLine = number + QStringLiteral("  doppelt belegt");
                    circuit = textWidth(m_bold, oneLine) <= edges[5] - edges[4] - 2 * cellPad()
                        ? oneLine
                        : number + QStringLiteral("\ndoppelt belegt");
                }
                cells.append(cell(edges, 4, m_bold, circuit));
            }
            cells.append(cell(edges, 5, m_body, m_list.effects[slot]));
            Cell box = cell(edges, 6, m_body, QString(), Qt::AlignHCenter);
            box.box = device != NoDevice;
            cells.append(box);
            if (ensure(rowHeight(cells)))
                firingTableHeader(header, edges);
            tableRow(edges, cells, slot % 2 == 1);
        }
        line(QPointF(0, m_y), QPointF(m_width, m_y), 0.3);
        m_y += mm(6);
    }

    // A material row's texts, one per column, and how it is marked.
    struct MaterialRow {
        QStringList texts;
        bool shortfall = false;
    };

    static constexpr int MaterialEffect = 0;
    static constexpr int MaterialStock = 8;

    QStringList materialHeader(bool stock) const
    {
        QStringList header { QStringLiteral("Effekt"), QStringLiteral("Anzahl"), QStringLiteral("Art"),
            QStringLiteral("Kaliber\n(mm)"), QStringLiteral("Klasse"), QStringLiteral("NEM je\nStück (g)"),
            QStringLiteral("NEM\ngesamt (g)"), QStringLiteral("Sicherheits-\nabstand (m)") };
        if (stock)
            header.append(QStringLiteral("Bestand"));
        return header;
    }

    // Unknown values read "?"; a name the list has no data for says so in its Art cell.
    MaterialRow materialRow(const MaterialLine& line, bool stock) const
    {
        const auto number = [](EffectField field, const std::optional<qint64>& value) {
            return value ? GermanNumber(*value, EffectFieldScale(field) == 10 ? 1 : 0) : QStringLiteral("?");
        };
        const std::optional<EffectData>& data = line.data;
        const auto field = [&](EffectField which) {
            return data ? number(which, EffectNumber(*data, which)) : QStringLiteral("?");
        };
        MaterialRow row;
        row.texts = QStringList { line.name, QString::number(line.count()),
            !data           ? QStringLiteral("keine Daten")
                : data->art ? EffectArtName(*data->art)
                            : QStringLiteral("?"),
            field(EffectField::Caliber),
            data && data->effectClass ? EffectClassName(*data->effectClass) : QStringLiteral("?"),
            field(EffectField::Nem), number(EffectField::Nem, line.nemTotalTenths()),
            field(EffectField::SafetyDistance) };
        if (stock) {
            QString text = number(EffectField::Stock, line.stock);
            const int missing = line.shortfall();
            if (missing > 0)
                // "fehlen 2" stays on one line.
                text += missing == 1 ? QStringLiteral(", fehlt\u00A01")
                                     : QStringLiteral(", fehlen\u00A0%1").arg(missing);
            row.texts.append(text);
            row.shortfall = missing > 0;
        }
        return row;
    }

    // Each column as wide as its widest content, shrunk towards its longest word where the page is
    // too narrow; the effect gets what is left.
    QList<double> materialColumns(const QStringList& header, const QList<MaterialRow>& rows) const
    {
        const double pad = 2 * cellPad() + mm(0.5);
        const qsizetype count = header.size();
        QList<double> widths(count, 0);
        QList<double> least(count, 0);
        const auto take = [&](qsizetype column, const QFont& font, const QString& text) {
            for (const QString& line : text.split(QLatin1Char('\n'))) {
                widths[column] = std::max(widths[column], textWidth(font, line) + pad);
                for (const QString& word : line.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                    least[column] = std::max(least[column], textWidth(font, word) + pad);
            }
        };
        for (qsizetype i = 1; i < count; ++i)
            take(i, m_tableBold, header[i]);
        for (const MaterialRow& row : rows) {
            for (qsizetype i = 1; i < count; ++i)
                take(i, row.shortfall && i == MaterialStock ? m_tableBold : m_table, row.texts[i]);
        }
        widths[MaterialEffect] = least[MaterialEffect] = 0;
        const auto sum = [](const QList<double>& list) {
            double total = 0;
            for (double w : list)
                total += w;
            return total;
        };
        const double need = sum(widths) + mm(50) - m_width;
        if (need > 0) {
            const double room = sum(widths) - sum(least);
            for (qsizetype i = 0; i < count; ++i)
                widths[i] -= room > 0 ? (widths[i] - least[i]) * std::min(1.0, need / room) : 0;
            const double effectLeast = mm(15);
            if (sum(widths) + effectLeast > m_width) {
                const double scale = (m_width - effectLeast) / sum(widths);
                for (double& w : widths)
                    w *= scale;
            }
        }
        widths[MaterialEffect] = m_width - sum(widths);
        QList<double> edges { 0 };
        for (double w : widths)
            edges.append(edges.back() + w);
        return edges;
    }

    // Per effect name its count and data, the header repeated on every page the table reaches; then
    // the totals a check prints, kept together where they fit on one page.
    void drawMaterial()
    {
        // A stock column only where the catalogue knows the stock of an effect of the list: an empty
        // catalogue or one of other articles prints as no catalogue at all.
        const bool stock = std::any_of(m_material.lines.cbegin(), m_material.lines.cend(),
            [](const MaterialLine& line) { return line.stock.has_value(); });
        QList<MaterialRow> rows;
        for (const MaterialLine& line : m_material.lines) {
            if (!line.name.isEmpty())
                rows.append(materialRow(line, stock));
        }
        const double rowMin = lineHeight(m_table) + 2 * rowPad();
        if (rows.isEmpty()) {
            ensure(lineHeight(m_heading) + mm(2) + lineHeight(m_body));
            heading(QStringLiteral("Material"));
            paragraph(m_body,
                m_entries == 0 ? QStringLiteral("Die Liste hat keine Einträge.")
                               : QStringLiteral("Kein Eintrag hat einen Effekt."));
            m_y += mm(6);
            return;
        }
        m_narrowCells = true;
        const QStringList headerTexts = materialHeader(stock);
        const QList<double> edges = materialColumns(headerTexts, rows);
        const auto alignOf = [](qsizetype column) {
            return column == 0 || column == 2 || column == 4 ? Qt::Alignment(Qt::AlignLeft)
                                                             : Qt::Alignment(Qt::AlignRight);
        };
        QList<Cell> header;
        for (qsizetype i = 0; i < headerTexts.size(); ++i)
            header.append(cell(edges, int(i), m_tableBold, headerTexts[i], alignOf(i)));
        ensure(lineHeight(m_heading) + mm(2) + rowHeight(header) + std::min(3, int(rows.size())) * rowMin);
        heading(QStringLiteral("Material"));
        firingTableHeader(header, edges);
        for (qsizetype r = 0; r < rows.size(); ++r) {
            QList<Cell> cells;
            for (qsizetype i = 0; i < rows[r].texts.size(); ++i) {
                const bool marked = rows[r].shortfall && i == MaterialStock;
                cells.append(
                    cell(edges, int(i), marked ? m_tableBold : m_table, rows[r].texts[i], alignOf(i)));
            }
            if (ensure(rowHeight(cells)))
                firingTableHeader(header, edges);
            tableRow(edges, cells, r % 2 == 1);
        }
        line(QPointF(0, m_y), QPointF(m_width, m_y), 0.3);
        m_narrowCells = false;
        m_y += mm(2);
        drawMaterialTotals();
        m_y += mm(6);
    }

    void drawMaterialTotals()
    {
        struct Wrapped {
            QStringList lines;
            const QFont* font;
        };
        QList<Wrapped> parts;
        double height = 0;
        for (QString text : MaterialCheckLines(m_material)) {
            // The table names each article short in stock; here their number and the pieces missing.
            if (text.startsWith(QStringLiteral("Bestand reicht nicht"))) {
                int articles = 0;
                int pieces = 0;
                for (const MaterialLine& line : m_material.lines) {
                    articles += line.shortfall() > 0 ? 1 : 0;
                    pieces += line.shortfall();
                }
                text = QStringLiteral("Bestand reicht nicht für %1, %2 (fett in der Spalte Bestand)")
                           .arg(articles == 1 ? QStringLiteral("1 Effekt")
                                              : QStringLiteral("%1 Effekte").arg(articles),
                               pieces == 1 ? QStringLiteral("es fehlt 1 Stück")
                                           : QStringLiteral("es fehlen %1 Stück").arg(pieces));
            }
            // What the crew must act on stands out.
            const bool warning = text.startsWith(QStringLiteral("ohne Effektdaten"))
                || text.startsWith(QStringLiteral("Bestand reicht nicht"));
            const QFont& font = warning ? m_bold : m_body;
            parts.append({ wrap(font, text, m_width), &font });
            height += parts.back().lines.size() * lineHeight(font);
        }
        const double continuedH = lineHeight(m_bold);
        if (m_y + height > bodyBottom() && height + continuedH <= bodyBottom() - top()) {
            newPage();
            paragraph(m_bold, QStringLiteral("Material (Fortsetzung)"));
        }
        for (const Wrapped& part : parts) {
            for (const QString& text : part.lines)
                paragraph(*part.font, text);
        }
    }

    struct WiringCell {
        QStringList lines;
        QList<bool> continued; // a line that goes on with the entry above it
        bool free = true;
        bool doubled = false;
    };

    // What fires circuit n of a device: its own entries and, for B and C, the entries of H n, each
    // with its effect; wrapped to textW, an entry's further lines indented.
    WiringCell wiringCell(int device, int number, double textW) const
    {
        const qint16 own = qint16(device * CircuitsPerDevice + number);
        const qint16 viaH = qint16(DeviceH * CircuitsPerDevice + number);
        const bool distributor = device == DeviceB || device == DeviceC;
        QStringList parts;
        int fired = 0;
        bool distributorsUsed = false;
        for (int slot = 0; slot < m_entries; ++slot) {
            const qint16 code = m_list.circuits[slot];
            const QString when
                = QStringLiteral("Nr. %1 (%2").arg(slot + 1).arg(FormatClock(m_list.times[slot]));
            QString part;
            if (code == own && code != NoCircuit)
                part = when + QLatin1Char(')');
            else if (distributor && code == viaH && code != NoCircuit)
                part = when + QStringLiteral(", über H)");
            else if (device == DeviceH
                && (code == DeviceB * CircuitsPerDevice + number
                    || code == DeviceC * CircuitsPerDevice + number))
                distributorsUsed = true;
            if (part.isEmpty())
                continue;
            if (!m_list.effects[slot].isEmpty())
                part += QStringLiteral("  ") + m_list.effects[slot];
            parts.append(part);
            ++fired;
        }
        WiringCell cell;
        cell.free = parts.isEmpty();
        cell.doubled = fired > 1 || (fired > 0 && distributorsUsed);
        if (cell.doubled)
            parts.append(distributorsUsed ? QStringLiteral("doppelt belegt (auch B/C)")
                                          : QStringLiteral("doppelt belegt"));
        if (cell.free)
            parts.append(QStringLiteral("frei"));
        const QFont& font = cell.doubled ? m_bold : m_body;
        for (const QString& part : parts) {
            const QStringList first = wrap(font, part, textW);
            cell.lines.append(first.first());
            cell.continued.append(false);
            if (first.size() == 1)
                continue;
            // The rest once more, narrower, under the first line.
            const QString rest = part.mid(first.first().size()).trimmed();
            for (const QString& more : wrap(font, rest, textW - wiringIndent())) {
                cell.lines.append(more);
                cell.continued.append(true);
            }
        }
        return cell;
    }

    double wiringIndent() const { return mm(4); }
    double wiringLineHeight() const { return std::max(lineHeight(m_body), lineHeight(m_bold)); }
    double wiringPad() const { return mm(1.2); }

    void drawWiringLines(const WiringCell& cell, int from, int count, double left, double labelW, int number)
    {
        if (from >= cell.lines.size())
            return;
        drawLines(
            { QStringLiteral("Kreis ") + twoDigits(number) }, 0, 1, m_body, left, m_y + wiringPad(), labelW);
        const QFont& font = cell.doubled ? m_bold : m_body;
        const QColor color = cell.free ? QColor(120, 120, 120) : QColor(Qt::black);
        const int to = std::min(int(cell.lines.size()), from + count);
        for (int i = from; i < to; ++i) {
            const double indent = cell.continued[i] ? wiringIndent() : 0;
            drawLines(cell.lines, i, i + 1, font, left + labelW + indent,
                m_y + wiringPad() + (i - from) * wiringLineHeight(), 0, Qt::AlignLeft, color);
        }
    }

    // Circuit n and circuit n + 16 side by side. A row taller than the rest of the page goes on
    // the next page whole if it fits there, else it is split, line by line, over as many pages
    // as it needs.
    void drawWiringRow(const WiringCell& left, const WiringCell& right, int row, const QString& title,
        double halfW, double gap, double labelW)
    {
        const double lineH = wiringLineHeight();
        const int total = int(std::max(left.lines.size(), right.lines.size()));
        const double freshRoom = bodyBottom() - top() - sectionTitleHeight();
        int done = 0;
        while (done < total) {
            const int remaining = total - done;
            const double room = bodyBottom() - m_y - 2 * wiringPad();
            const int fits = int(std::floor(room / lineH));
            const bool wholeOnFreshPage = done == 0 && remaining * lineH + 2 * wiringPad() <= freshRoom;
            if (fits < remaining && (wholeOnFreshPage || fits < std::min(3, remaining))
                && m_y > top() + sectionTitleHeight()) {
                newPage();
                sectionTitle(title + QStringLiteral(" (Fortsetzung)"));
                continue;
            }
            int count = std::clamp(fits, 1, remaining);
            // An entry's wrapped lines stay together, on either side.
            const auto splitsEntry
                = [&](const WiringCell& c, int at) { return at < c.continued.size() && c.continued[at]; };
            int whole = count;
            while (whole > 1 && whole < remaining
                && (splitsEntry(left, done + whole) || splitsEntry(right, done + whole)))
                --whole;
            if (whole < remaining && !splitsEntry(left, done + whole) && !splitsEntry(right, done + whole))
                count = whole;
            drawWiringLines(left, done, count, 0, labelW, row);
            drawWiringLines(right, done, count, halfW + gap, labelW, row + 16);
            m_y += count * lineH + 2 * wiringPad();
            done += count;
            if (done < total) {
                newPage();
                sectionTitle(title + QStringLiteral(" (Fortsetzung)"));
            }
        }
        line(QPointF(0, m_y), QPointF(m_width, m_y), 0.1, QColor(170, 170, 170));
    }

    // Per device in use, its circuits 0 to 15 and 16 to 31 side by side.
    void drawWiringPlan()
    {
        bool used[DeviceCount] = {};
        for (int slot = 0; slot < m_entries; ++slot) {
            const int device = TimelineLaneOf(m_list.circuits[slot]);
            if (device == NoDevice)
                continue;
            used[device] = true;
            if (device == DeviceH)
                used[DeviceB] = used[DeviceC] = true;
        }
        heading(QStringLiteral("Verkabelung"));
        if (std::none_of(std::begin(used), std::end(used), [](bool u) { return u; })) {
            paragraph(m_body, QStringLiteral("Kein Eintrag hat einen Zündkreis."));
            return;
        }
        const double gap = mm(6);
        const double halfW = (m_width - gap) / 2;
        const double labelW = textWidth(m_body, QStringLiteral("Kreis 00")) + mm(3);
        const double textW = halfW - labelW - mm(1);
        const double lineH = wiringLineHeight();
        for (int device = 0; device < DeviceCount; ++device) {
            if (!used[device])
                continue;
            WiringCell cells[CircuitsPerDevice];
            for (int n = 0; n < CircuitsPerDevice; ++n)
                cells[n] = wiringCell(device, n, textW);
            const QString title = QStringLiteral("Zündgerät ") + DeviceName(device);
            // The title with the start of its first rows, or on the next page.
            const int firstLines = int(std::max(cells[0].lines.size(), cells[16].lines.size()));
            ensure(sectionTitleHeight() + std::min(4, std::max(firstLines, 1)) * (lineH + 2 * wiringPad()));
            sectionTitle(title);
            for (int row = 0; row < CircuitsPerDevice / 2; ++row)
                drawWiringRow(cells[row], cells[row + 16], row, title, halfW, gap, labelW);
            m_y += mm(6);
        }
    }

    double sectionTitleHeight() const { return lineHeight(m_bold) * 1.6; }

    void sectionTitle(const QString& title)
    {
        const double h = sectionTitleHeight();
        if (m_painter)
            m_painter->fillRect(QRectF(0, m_y, m_width, h), QColor(225, 225, 225));
        text(QRectF(mm(1.5), m_y, m_width - mm(3), h), m_bold, title);
        m_y += h;
    }

    QPagedPaintDevice& m_device;
    const CrewSheet& m_sheet;
    QPainter* m_painter;
    int m_pageCount;
    QFont m_body, m_bold, m_small, m_tiny, m_heading;
    QFont m_table, m_tableBold; // the material table: nine columns on the page
    double m_width = 0;
    double m_height = 0;
    double m_y = 0;
    int m_page = 0;
    ShotList m_list;
    int m_entries = 0;
    bool m_doubled[EntryCount] = {};
    MaterialList m_material;
    bool m_narrowCells = false; // the material table's nine columns
};

} // namespace

QString DeviceName(int device)
{
    return device >= 0 && device < DeviceCount ? TimelineLaneName(device) : QString();
}

CrewSheet CrewSheetFor(
    const ShotList& list, const ListMeta& meta, const QDateTime& printed, const EffectCatalogue* catalogue)
{
    const QString name = ListName(meta);
    CrewSheet sheet { list, name.isEmpty() ? QStringLiteral("Neue Liste") : name, meta.comment, printed,
        meta.musicPath, meta.musicStartTenths, meta.effectData, std::nullopt };
    if (catalogue)
        sheet.stockFrom = *catalogue;
    return sheet;
}

int PaintCrewSheet(QPagedPaintDevice& device, const CrewSheet& sheet)
{
    const int pages = SheetPainter(device, sheet, nullptr, 0).run();
    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    SheetPainter(device, sheet, &painter, pages).run();
    return painter.end() ? pages : 0;
}

QPageLayout CrewSheetPageLayout()
{
    QPageLayout layout(
        QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 12, 15, 12), QPageLayout::Millimeter);
    // A printer whose unprintable edge is wider moves the margins out, never in.
    layout.setMode(QPageLayout::StandardMode);
    return layout;
}

bool WriteCrewSheetPdf(const QString& path, const CrewSheet& sheet, QString* error)
{
    const PdfPaper paper { CrewSheetPageLayout(), 1200, QStringLiteral("Schussplan ") + sheet.title };
    return WritePdf(
        path, paper, [&sheet](QPagedPaintDevice& device) { return PaintCrewSheet(device, sheet) > 0; },
        error);
}
