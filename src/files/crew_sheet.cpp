#include "crew_sheet.h"

#include "timeline_painter.h"

#include "shotlist/duplicates.h"
#include "shotlist/list_views.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <optional>

namespace {

constexpr int DeviceCount = 8;
constexpr int CircuitsPerDevice = 32;
constexpr int DeviceB = 1;
constexpr int DeviceC = 2;
constexpr int DeviceH = 7;
constexpr int NoDevice = DeviceCount; // lane of the entries without circuit

QFont sheetFont(double points, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

int deviceOf(qint16 code) { return code >= 0 && code < NoCircuit ? code / CircuitsPerDevice : NoDevice; }

struct Cell {
    QString text;
    Qt::Alignment align = Qt::AlignLeft;
    bool bold = false;
    bool box = false;
};

// Lays the sheet out page by page. The first pass runs without a painter and only counts the pages,
// so the second can write "Seite x von y"; both take the same measures and the same page breaks.
class SheetPainter {
public:
    SheetPainter(QPagedPaintDevice& device, const CrewSheet& sheet, QPainter* painter, int pageCount)
        : m_device(device)
        , m_sheet(sheet)
        , m_painter(painter)
        , m_pageCount(pageCount)
        , m_body(sheetFont(9))
        , m_bold(sheetFont(9, true))
        , m_small(sheetFont(7))
        , m_tiny(sheetFont(6))
        , m_heading(sheetFont(13, true))
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
    }

    int run()
    {
        startPage();
        drawOverview();
        drawTimeline();
        drawFiringTable();
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
            left += QStringLiteral(" – ") + m_sheet.comment;
        left
            = QFontMetricsF(m_small, &m_device).elidedText(left, Qt::ElideRight, m_width - dateWidth - mm(6));
        text(QRectF(0, 0, m_width - dateWidth - mm(4), h), m_small, left);
        text(QRectF(m_width - dateWidth - mm(1), 0, dateWidth + mm(1), h), m_small, date,
            Qt::AlignRight | Qt::AlignVCenter);
        line(QPointF(0, h + mm(1)), QPointF(m_width, h + mm(1)));
        const QString pageText = QStringLiteral("Seite %1 von %2").arg(m_page).arg(m_pageCount);
        text(QRectF(0, m_height - h, m_width, h), m_small, pageText, Qt::AlignRight | Qt::AlignVCenter);
        m_y = h + mm(5);
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

    void drawOverview()
    {
        heading(QStringLiteral("Schussplan"));
        const QStringList stats = ComputeStatistics(List1Lines(m_list)).text.split(QStringLiteral("\r\n"));
        const double h = lineHeight(m_body);
        for (const QString& statLine : stats) {
            text(QRectF(0, m_y, m_width, h), m_body, statLine);
            m_y += h;
        }
        const QString doubled = DuplicateText(FindDuplicateCircuits(m_list));
        if (!doubled.isEmpty()) {
            const QRectF bounds = QFontMetricsF(m_bold, &m_device)
                                      .boundingRect(QRectF(0, 0, m_width, 1e9), Qt::TextWordWrap, doubled);
            text(QRectF(0, m_y + mm(1), m_width, bounds.height()), m_bold, doubled, Qt::TextWordWrap);
            m_y += bounds.height() + mm(1);
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
    // the number fits.
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
            text(QRectF(0, m_y, m_width, smallH), m_body, QStringLiteral("Die Liste hat keine Einträge."));
            m_y += lineHeight(m_body) + mm(6);
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
        if (m_painter) {
            PaintTimelineAxis(*m_painter, plot, from, to, style);
            PaintTimelineLanes(*m_painter, m_list, plot, from, to, style);
            m_painter->setPen(Qt::black);
        }
        m_y = plot.bottom() + axisH + mm(6);
    }

    // Column edges of the firing table as parts of the width.
    QList<double> tableColumns() const
    {
        static const double parts[] = { 0.08, 0.14, 0.14, 0.26, 0.26, 0.12 };
        QList<double> edges { 0 };
        for (double part : parts)
            edges.append(edges.back() + part * m_width);
        return edges;
    }

    void tableRow(const QList<double>& edges, const QList<Cell>& cells, double height, bool shaded)
    {
        if (m_painter && shaded)
            m_painter->fillRect(QRectF(0, m_y, m_width, height), QColor(235, 235, 235));
        for (int i = 0; i < cells.size(); ++i) {
            const QRectF rect(edges[i] + mm(1.5), m_y, edges[i + 1] - edges[i] - mm(3), height);
            if (cells[i].box && m_painter) {
                const double side = mm(3.5);
                m_painter->setPen(QPen(Qt::black, mm(0.25)));
                m_painter->setBrush(Qt::white);
                m_painter->drawRect(
                    QRectF(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side));
                m_painter->setBrush(Qt::NoBrush);
            }
            text(rect, cells[i].bold ? m_bold : m_body, cells[i].text, cells[i].align | Qt::AlignVCenter);
        }
        m_y += height;
    }

    void firingTableHeader(const QList<double>& edges, double rowH)
    {
        const Qt::Alignment right = Qt::AlignRight;
        tableRow(edges,
            { { QStringLiteral("Nr"), right, true }, { QStringLiteral("Zeit"), Qt::AlignLeft, true },
                { QStringLiteral("Abstand (s)"), right, true },
                { QStringLiteral("Zündgerät"), Qt::AlignLeft, true },
                { QStringLiteral("Kreis"), Qt::AlignLeft, true },
                { QStringLiteral("geladen"), Qt::AlignHCenter, true } },
            rowH, false);
        line(QPointF(0, m_y), QPointF(m_width, m_y), 0.3);
    }

    void drawFiringTable()
    {
        const double rowH = lineHeight(m_body) * 1.45;
        const QList<double> edges = tableColumns();
        ensure(lineHeight(m_heading) + mm(2) + 3 * rowH);
        heading(QStringLiteral("Zündfolge"));
        firingTableHeader(edges, rowH);
        for (int slot = 0; slot < m_entries; ++slot) {
            if (ensure(rowH))
                firingTableHeader(edges, rowH);
            const qint16 code = m_list.circuits[slot];
            const int device = deviceOf(code);
            const bool last = slot + 1 == m_entries;
            QList<Cell> cells {
                { QString::number(slot + 1), Qt::AlignRight },
                { FormatClock(m_list.times[slot]) },
                { last ? QStringLiteral("–") : QString::number(DurationToNext(m_list, slot)),
                    Qt::AlignRight },
            };
            if (device == NoDevice) {
                cells.append({ QStringLiteral("kein Zündkreis") });
                cells.append({ QStringLiteral("–") });
                cells.append({ QString(), Qt::AlignHCenter });
            } else {
                const QString number
                    = QStringLiteral("%1").arg(code % CircuitsPerDevice, 2, 10, QLatin1Char('0'));
                cells.append({ DeviceName(device) });
                cells.append({ m_doubled[slot] ? number + QStringLiteral("  doppelt belegt") : number,
                    Qt::AlignLeft, m_doubled[slot] });
                cells.append({ QString(), Qt::AlignHCenter, false, true });
            }
            tableRow(edges, cells, rowH, slot % 2 == 1);
        }
        line(QPointF(0, m_y), QPointF(m_width, m_y), 0.3);
        m_y += mm(6);
    }

    struct WiringCell {
        QString text;
        bool free = true;
        bool doubled = false;
    };

    // What fires circuit n of a device: its own entries and, for B and C, the entries of H n.
    WiringCell wiringCell(int device, int number) const
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
            if (code == own && code != NoCircuit) {
                parts.append(when + QLatin1Char(')'));
                ++fired;
            } else if (distributor && code == viaH && code != NoCircuit) {
                parts.append(when + QStringLiteral(", über H)"));
                ++fired;
            } else if (device == DeviceH
                && (code == DeviceB * CircuitsPerDevice + number
                    || code == DeviceC * CircuitsPerDevice + number)) {
                distributorsUsed = true;
            }
        }
        WiringCell cell;
        cell.free = parts.isEmpty();
        cell.doubled = fired > 1 || (fired > 0 && distributorsUsed);
        if (cell.doubled)
            parts.append(distributorsUsed ? QStringLiteral("doppelt belegt (auch B/C)")
                                          : QStringLiteral("doppelt belegt"));
        cell.text = cell.free ? QStringLiteral("frei") : parts.join(QLatin1Char('\n'));
        return cell;
    }

    double wiringCellHeight(const WiringCell& cell, double textW) const
    {
        const QFont& font = cell.doubled ? m_bold : m_body;
        return QFontMetricsF(font, &m_device)
            .boundingRect(QRectF(0, 0, textW, 1e9), Qt::TextWordWrap, cell.text)
            .height();
    }

    void drawWiringCell(const WiringCell& cell, const QRectF& rect, double labelW, int number)
    {
        text(QRectF(rect.left(), rect.top(), labelW, rect.height()), m_body,
            QStringLiteral("Kreis %1").arg(number, 2, 10, QLatin1Char('0')), Qt::AlignLeft | Qt::AlignTop);
        if (!m_painter)
            return;
        m_painter->setPen(cell.free ? QColor(120, 120, 120) : QColor(Qt::black));
        text(QRectF(rect.left() + labelW, rect.top(), rect.width() - labelW, rect.height()),
            cell.doubled ? m_bold : m_body, cell.text, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
        m_painter->setPen(Qt::black);
    }

    // Per device in use, its circuits 0 to 15 and 16 to 31 side by side.
    void drawWiringPlan()
    {
        bool used[DeviceCount] = {};
        for (int slot = 0; slot < m_entries; ++slot) {
            const int device = deviceOf(m_list.circuits[slot]);
            if (device == NoDevice)
                continue;
            used[device] = true;
            if (device == DeviceH)
                used[DeviceB] = used[DeviceC] = true;
        }
        heading(QStringLiteral("Verkabelung"));
        if (std::none_of(std::begin(used), std::end(used), [](bool u) { return u; })) {
            text(QRectF(0, m_y, m_width, lineHeight(m_body)), m_body,
                QStringLiteral("Kein Eintrag hat einen Zündkreis."));
            m_y += lineHeight(m_body);
            return;
        }
        const double gap = mm(6);
        const double halfW = (m_width - gap) / 2;
        const double labelW = textWidth(m_body, QStringLiteral("Kreis 00")) + mm(3);
        const double textW = halfW - labelW - mm(1);
        const double pad = mm(1.2);
        const double titleH = lineHeight(m_bold) * 1.6;
        for (int device = 0; device < DeviceCount; ++device) {
            if (!used[device])
                continue;
            WiringCell cells[CircuitsPerDevice];
            double rowH[CircuitsPerDevice / 2];
            for (int n = 0; n < CircuitsPerDevice; ++n)
                cells[n] = wiringCell(device, n);
            for (int row = 0; row < CircuitsPerDevice / 2; ++row) {
                rowH[row]
                    = std::max(wiringCellHeight(cells[row], textW), wiringCellHeight(cells[row + 16], textW))
                    + 2 * pad;
            }
            const QString title = QStringLiteral("Zündgerät ") + DeviceName(device);
            ensure(titleH + 4 * rowH[0]);
            sectionTitle(title);
            for (int row = 0; row < CircuitsPerDevice / 2; ++row) {
                if (ensure(rowH[row]))
                    sectionTitle(title + QStringLiteral(" (Fortsetzung)"));
                drawWiringCell(cells[row], QRectF(0, m_y + pad, halfW, rowH[row] - 2 * pad), labelW, row);
                drawWiringCell(cells[row + 16], QRectF(halfW + gap, m_y + pad, halfW, rowH[row] - 2 * pad),
                    labelW, row + 16);
                m_y += rowH[row];
                line(QPointF(0, m_y), QPointF(m_width, m_y), 0.1, QColor(170, 170, 170));
            }
            m_y += mm(6);
        }
    }

    void sectionTitle(const QString& title)
    {
        const double h = lineHeight(m_bold) * 1.6;
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
    double m_width = 0;
    double m_height = 0;
    double m_y = 0;
    int m_page = 0;
    ShotList m_list;
    int m_entries = 0;
    bool m_doubled[EntryCount] = {};
};

} // namespace

QString DeviceName(int device)
{
    return device >= 0 && device < DeviceCount ? TimelineLaneName(device) : QString();
}

CrewSheet CrewSheetFor(const ShotList& list, const ListMeta& meta, const QDateTime& printed)
{
    const QString name = ListName(meta);
    return { list, name.isEmpty() ? QStringLiteral("Neue Liste") : name, meta.comment, printed,
        meta.musicPath, meta.musicStartTenths };
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

bool WriteCrewSheetPdf(const QString& path, const CrewSheet& sheet, QString* error)
{
    QSaveFile file(path);
    // Unbuffered, so a failed write is seen by commit() rather than lost in a buffer.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *error = QStringLiteral("Die Datei %1 lässt sich nicht anlegen: %2").arg(path, file.errorString());
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setTitle(QStringLiteral("Schussplan ") + sheet.title);
        writer.setCreator(QStringLiteral("Kelto"));
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
            QMarginsF(15, 12, 15, 12), QPageLayout::Millimeter));
        if (PaintCrewSheet(writer, sheet) == 0) {
            file.cancelWriting();
            *error = QStringLiteral("Der Schussplan lässt sich nicht als PDF zeichnen.");
            return false;
        }
    }
    if (!file.commit()) {
        *error = QStringLiteral("Die Datei %1 lässt sich nicht schreiben: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
