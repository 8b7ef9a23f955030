#include "form1.h"
#include "rehearsal_page.h"
#include "scripted_prompter.h"
#include "test_main.h"
#include "waveform_view.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>

namespace {

// The elements of a page with their places, by name, as the page shows them.
QHash<QString, QRect> places(QWidget* page)
{
    auto* tabs = qobject_cast<QTabWidget*>(page->parentWidget()->parentWidget()->parentWidget());
    if (tabs)
        tabs->setCurrentWidget(page->parentWidget());
    QHash<QString, QRect> found;
    for (QWidget* w : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        found.insert(w->objectName(), w->geometry());
    return found;
}

bool showAt(Form1& w, QSize size)
{
    w.resize(size);
    return QTest::qWaitFor([&] { return w.size() == size; });
}

} // namespace

class TestWindowSize : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Grown to a full screen and back: at the default size every element stands where it stood; the
    // window never gets smaller than that.
    void defaultSizeKeepsEveryPlace()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.size(), QSize(633, 465));
        QCOMPARE(w.minimumSize(), QSize(633, 465));
        QCOMPARE(w.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
        QList<QHash<QString, QRect>> before;
        for (QFrame* frame : w.Frame1)
            before.append(places(frame));
        const QRect ende = w.Command1->geometry();

        QVERIFY(showAt(w, QSize(1920, 1080)));
        for (int page = 0; page < 4; ++page)
            QVERIFY(places(w.Frame1[page]) != before[page]);
        QVERIFY(showAt(w, QSize(633, 465)));
        for (int page = 0; page < 4; ++page)
            QCOMPARE(places(w.Frame1[page]), before[page]);
        QCOMPARE(w.Command1->geometry(), ende);

        w.resize(300, 200);
        QCOMPARE(w.size(), QSize(633, 465));
    }

    // Maximised, the room goes to the lists, the comment box and the picture; buttons and fields keep
    // their size and keep their distance to the edge they stand at; nothing overlaps or leaves its page.
    void roomGoesToTheContent_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("growing");
        QTest::addColumn<QStringList>("rightEdge"); // keep their size and their distance to the right
        QTest::addColumn<QStringList>("bottomEdge"); // keep their size and their distance to the bottom
        QTest::newRow("Kommunikation")
            << 0 << QStringList { "List1" } << QStringList { "Combo1", "Command2_0" }
            << QStringList { "Command2_0", "Command2_1", "Command2_2" };
        QTest::newRow("Datei") << 1 << QStringList { "Dir1", "File1", "Text1" }
                               << QStringList { "Command4_2", "Command5_2" }
                               << QStringList { "Command5_1", "Command5_2" };
        QTest::newRow("Bearbeiten") << 2 << QStringList { "List2" }
                                    << QStringList { "Text2_0", "Text2_3", "Combo2", "Text3" }
                                    << QStringList { "Label8" };
        QTest::newRow("Probelauf") << 3 << QStringList { "Picture1", "HScroll1" }
                                   << QStringList { "Command6_3", "Command6_4", "Text4" }
                                   << QStringList { "PlayerControls", "Check1", "Text5" };
    }
    void roomGoesToTheContent()
    {
        QFETCH(int, page);
        QFETCH(QStringList, growing);
        QFETCH(QStringList, rightEdge);
        QFETCH(QStringList, bottomEdge);
        Form1 w(std::make_unique<ScriptedPrompter>());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.SSTab1->setCurrentIndex(page);
        QFrame* frame = w.Frame1[page];
        const QSize small = frame->size();
        const QHash<QString, QRect> before = places(frame);
        w.showMaximized();
        QVERIFY(showAt(w, QSize(1920, 1080)));
        QTRY_VERIFY(frame->width() > 1800);
        const QHash<QString, QRect> after = places(frame);
        const QSize grown = frame->size() - small;
        for (const QString& name : growing) {
            QVERIFY2(after[name].width() > before[name].width() + 300
                    || after[name].height() > before[name].height() + 300,
                qPrintable(name));
        }
        for (const QString& name : rightEdge) {
            QCOMPARE(after[name].size(), before[name].size());
            QCOMPARE(after[name].left() - before[name].left(), grown.width());
        }
        for (const QString& name : bottomEdge) {
            QCOMPARE(after[name].size(), before[name].size());
            QCOMPARE(after[name].top() - before[name].top(), grown.height());
        }
        const QList<QWidget*> elements = frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* e : elements) {
            if (e->isHidden())
                continue;
            QVERIFY2(frame->rect().contains(e->geometry()), qPrintable(e->objectName()));
            for (QWidget* other : elements) {
                // The layout of the first pages has Label1 touch List1 by a pixel; no new overlap.
                const bool overlappedBefore = before[e->objectName()].intersects(before[other->objectName()]);
                if (other != e && !other->isHidden() && !overlappedBefore)
                    QVERIFY2(!e->geometry().intersects(other->geometry()),
                        qPrintable(e->objectName() + " " + other->objectName()));
            }
        }
        // The page shows the whole grown frame.
        QVERIFY(frame->parentWidget()->rect().contains(frame->geometry().adjusted(0, 0, 0, -8)));
    }

    // A mark clicked in the grown picture is still the mark under the pointer: the view follows its size.
    void grownPictureTakesClicks()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        ShotList list = ShotList::startup();
        for (int i = 0; i < 20; ++i) {
            list.times[i] = 10 * i;
            list.circuits[i] = qint16((i % 4) * 32 + i);
        }
        w.document().reset(list);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(showAt(w, QSize(1920, 1080)));
        w.SSTab1->setCurrentIndex(3);
        WaveformView* picture = w.Rehearsal->Picture1;
        QTRY_VERIFY(picture->width() > 1800);
        const TimelineDrawn drawn = picture->drawnLanes();
        QCOMPARE(drawn.marks.size(), 20);
        const TimelineMark& mark = drawn.marks[5];
        QTest::mouseClick(picture, Qt::LeftButton, Qt::NoModifier, mark.centre.toPoint());
        QCOMPARE(picture->selectedSlot(), mark.slot);
        QCOMPARE(w.List2->currentRow(), mark.slot);
    }
};

KELTO_TEST_MAIN(TestWindowSize)
#include "tst_window_size.moc"
