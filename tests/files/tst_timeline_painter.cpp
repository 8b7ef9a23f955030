#include "files/timeline_painter.h"
#include "shot_list_fixtures.h"
#include "test_main.h"

#include <QImage>
#include <QPainter>
#include <QTest>

namespace {

TimelineStyle screenStyle()
{
    TimelineStyle style;
    style.laneFont.setPixelSize(11);
    style.numberFont.setPixelSize(9);
    style.nameWidth = 80;
    return style;
}

} // namespace

class TestTimelinePainter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lanesInUse_data()
    {
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QList<int>>("lanes");
        QTest::newRow("start-up list") << QList<int> { 255 } << QList<int> { TimelineNoCircuitLane };
        QTest::newRow("devices in order, no circuit last")
            << QList<int> { 255, 7 * 32 + 1, 3, 32 + 31 } << QList<int> { 0, 1, 7, TimelineNoCircuitLane };
    }
    void lanesInUse()
    {
        QFETCH(QList<int>, codes);
        QFETCH(QList<int>, lanes);
        QCOMPARE(TimelineLanes(SpacedList(int(codes.size()), 5, codes)), lanes);
    }

    // Every entry in the window gets a mark; numbers never overlap and stay in the plot; each mark
    // without number is in exactly one stretch, which runs in lane order between numbered marks.
    void everyMarkNumberedOrInAStretch_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("gap");
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<double>("height");
        QTest::addColumn<bool>("allNumbered");
        QTest::newRow("sparse") << 12 << 60 << -10.0 << 700.0 << 120.0 << true;
        QTest::newRow("dense") << 170 << 1 << -1.0 << 171.0 << 120.0 << false;
        QTest::newRow("zoomed into dense") << 170 << 1 << 40.5 << 60.5 << 120.0 << true;
        QTest::newRow("lanes too low for numbers") << 12 << 60 << -10.0 << 700.0 << 30.0 << false;
    }
    void everyMarkNumberedOrInAStretch()
    {
        QFETCH(int, count);
        QFETCH(int, gap);
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(double, height);
        QFETCH(bool, allNumbered);
        const ShotList list = SpacedList(count, gap, { 0, 33, 66 });
        QImage image(500, 200, QImage::Format_RGB32);
        const QRectF plot(90, 10, 400, height);
        const TimelineDrawn drawn = LayoutTimelineLanes(&image, list, plot, from, to, screenStyle());

        QList<int> expected;
        for (int slot = 0; slot < count; ++slot) {
            if (list.times[slot] >= from && list.times[slot] <= to)
                expected.append(slot);
        }
        QList<int> marked;
        QList<int> inStretch;
        for (const TimelineStretch& stretch : drawn.unnumbered)
            inStretch += stretch.entrySlots;
        for (const TimelineMark& mark : drawn.marks) {
            marked.append(mark.slot);
            QCOMPARE(mark.centre.x(), TimelineX(plot, from, to, list.times[mark.slot]));
            if (mark.number.isEmpty()) {
                QCOMPARE(inStretch.count(mark.slot), 1);
                continue;
            }
            QVERIFY(mark.number.left() >= plot.left() && mark.number.right() <= plot.right());
            for (const TimelineMark& other : drawn.marks) {
                if (other.slot != mark.slot)
                    QVERIFY2(!mark.number.intersects(other.number), qPrintable(QString::number(mark.slot)));
            }
        }
        std::sort(marked.begin(), marked.end());
        QCOMPARE(marked, expected);
        QCOMPARE(drawn.unnumbered.isEmpty(), allNumbered);
        for (const TimelineStretch& stretch : drawn.unnumbered) {
            for (int i = 1; i < stretch.entrySlots.size(); ++i)
                QCOMPARE(stretch.entrySlots[i], stretch.entrySlots[i - 1] + 3); // the lane's next entry
            QCOMPARE(stretch.fromSeconds, double(list.times[stretch.entrySlots.first()]));
            QCOMPARE(stretch.toSeconds, double(list.times[stretch.entrySlots.last()]));
        }

        TimelineStyle plain = screenStyle();
        plain.numbers = false;
        QVERIFY(LayoutTimelineLanes(&image, list, plot, from, to, plain).unnumbered.isEmpty());
    }

    // The music page's states: a lit mark, the selected mark, a plain one; a click finds the mark.
    void marksDrawnInTheirStateAndFoundByClick()
    {
        const ShotList list = SpacedList(3, 10, { 0 });
        QImage image(300, 60, QImage::Format_RGB32);
        image.fill(Qt::white);
        const QRectF plot(0, 0, 300, 60);
        TimelineStyle style = screenStyle();
        style.nameWidth = 0;
        style.markWidth = 3;
        style.selectedMarkWidth = 3;
        style.lit[0] = true;
        style.selectedSlot = 1;
        QPainter painter(&image);
        const TimelineDrawn drawn = PaintTimelineLanes(painter, list, plot, -5, 25, style);
        painter.end();
        QCOMPARE(drawn.marks.size(), 3);
        const QColor expected[] = { style.litColor, style.selectedColor, style.markColor };
        for (int i = 0; i < 3; ++i) {
            const QPoint centre = drawn.marks[i].centre.toPoint();
            QCOMPARE(image.pixelColor(centre), expected[i]);
            QCOMPARE(TimelineSlotAt(drawn, plot, drawn.marks[i].centre + QPointF(2, 5), 4), i);
        }
        QCOMPARE(TimelineSlotAt(drawn, plot, QPointF(TimelineX(plot, -5, 25, 5), 30), 4), -1);
        QCOMPARE(TimelineSeconds(plot, -5, 25, TimelineX(plot, -5, 25, 12.25)), 12.25);
    }
};

KELTO_TEST_MAIN(TestTimelinePainter)
#include "tst_timeline_painter.moc"
