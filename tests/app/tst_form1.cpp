#include "form1.h"
#include "scripted_prompter.h"
#include "test_main.h"
#include "widgets.h"

#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

namespace {

template <typename T> T* child(QWidget& window, const char* name)
{
    T* w = window.findChild<T*>(QLatin1String(name));
    if (!w)
        qFatal("no element %s", name);
    return w;
}

int enabledFrames(Form1& w)
{
    int count = 0;
    for (int i = 0; i < 4; ++i)
        count += child<QFrame>(w, QStringLiteral("Frame1_%1").arg(i).toLatin1().constData())->isEnabled() ? 1
                                                                                                          : 0;
    return count;
}

struct LayoutRequests : QObject {
    int seen = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        seen += event->type() == QEvent::LayoutRequest ? 1 : 0;
        return false;
    }
};

} // namespace

class TestForm1 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startUpState()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        QCOMPARE(w.windowTitle(), QStringLiteral("Schusslisteneditor für Feuerwerk-Brenzor"));
        QCOMPARE(child<QTabWidget>(w, "SSTab1")->currentIndex(), 1);
        QCOMPARE(child<QComboBox>(w, "Combo1")->currentText(), QStringLiteral("COM1"));
        QCOMPARE(child<QPlainTextEdit>(w, "Text1")->toPlainText(), QStringLiteral("Text1"));
        QCOMPARE(child<QLabel>(w, "Label5")->text(), QStringLiteral("Label5"));
        QVERIFY(!child<QPushButton>(w, "Command4_0")->isEnabled());
        QVERIFY(!child<QPushButton>(w, "Command4_1")->isEnabled());
        QVERIFY(!child<QPushButton>(w, "Command4_2")->isEnabled());
        QVERIFY(child<QPushButton>(w, "Command4_3")->isEnabled());
        QVERIFY(child<QFrame>(w, "Frame2")->isHidden());
        QCOMPARE(w.document().entryCount(), 1);

        auto* list1 = child<QListWidget>(w, "List1");
        auto* list2 = child<QListWidget>(w, "List2");
        QCOMPARE(list1->count(), 170);
        QCOMPARE(list2->count(), 170);
        QCOMPARE(list1->item(0)->text(), QStringLiteral("001  00:00:00  ---"));
        QCOMPARE(list1->item(1)->text(), QStringLiteral("002  --:--:--  ---"));
        QCOMPARE(list1->item(169)->text(), QStringLiteral("170  --:--:--  ---"));
        QCOMPARE(list2->item(0)->text(), QStringLiteral("001  00:00:00 (000 s)  ---  "));
        QCOMPARE(list2->currentRow(), -1);
        QCOMPARE(child<QLabel>(w, "Label1")->text(), QStringLiteral("Nr.   Zeit     Kreis"));
        QCOMPARE(child<QLabel>(w, "Label7")->text(), QStringLiteral("Nr.   Zeit     Dauer   Kreis"));
        QCOMPARE(child<QLabel>(w, "Label4")->text(),
            QStringLiteral(
                "Anzahl Einträge: 170\r\nAnzahl Schüsse: 1\r\nZeitdauer : 00:00:00\r\nnoch frei: 169"));

        const QString temp = qEnvironmentVariable("temp") + QDir::separator();
        QCOMPARE(w.TempFolder, temp);
        QCOMPARE(child<QPushButton>(w, "Command4_2")->toolTip(),
            QStringLiteral("Inidatei: ") + temp + "kelto.ini");
        QCOMPARE(w.FileSignature, QStringLiteral("Feuerwerk-Schussliste Pelorandistrake"));

        const char* fields[] = { "Text2_0", "Text2_1", "Text2_2", "Text2_3" };
        const QStringList texts { "go to", "Zeit", "Zeit", "Nummer" };
        for (int i = 0; i < 4; ++i)
            QCOMPARE(child<QLineEdit>(w, fields[i])->text(), texts[i]);
        QCOMPARE(child<QComboBox>(w, "Combo2")->count(), 8);
        QCOMPARE(child<QComboBox>(w, "Combo2")->itemText(7), QStringLiteral("H (alle Verteiler)"));
        QCOMPARE(child<QComboBox>(w, "Combo2")->currentIndex(), -1);
        QCOMPARE(child<QLabel>(w, "Label6_2")->text(), QStringLiteral("Sekunden bis zur nächsten Zündung"));
    }

    void tempFolderGetsOneTrailingSeparator_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("without separator") << "/tmp/kelto-a"
                                           << "/tmp/kelto-a/";
        QTest::newRow("with separator") << "/tmp/kelto-b/"
                                        << "/tmp/kelto-b/";
    }
    void tempFolderGetsOneTrailingSeparator()
    {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        const QByteArray saved = qgetenv("temp");
        qputenv("temp", value.toLocal8Bit());
        Form1 w(std::make_unique<ScriptedPrompter>());
        qputenv("temp", saved);
        QCOMPARE(w.TempFolder, expected);
    }

    void unsetTempFallsBackToWritableFolder()
    {
        const QByteArray saved = qgetenv("temp");
        const QByteArray savedUpper = qgetenv("TEMP");
        const QByteArray savedTmp = qgetenv("TMP");
        qunsetenv("temp");
        qunsetenv("TEMP");
        qputenv("TMP", "/tmp/kelto-tmp");
        Form1 viaTmp(std::make_unique<ScriptedPrompter>());
        qunsetenv("TMP");
        Form1 platform(std::make_unique<ScriptedPrompter>());
        qputenv("temp", saved);
        if (!savedUpper.isNull())
            qputenv("TEMP", savedUpper);
        if (!savedTmp.isNull())
            qputenv("TMP", savedTmp);
        QCOMPARE(viaTmp.TempFolder, QStringLiteral("/tmp/kelto-tmp/"));
        QCOMPARE(platform.TempFolder, QDir::tempPath() + "/");
    }

    void pageSwitchEnablesOnlyCurrentFrame()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        auto* tabs = child<QTabWidget>(w, "SSTab1");
        auto* save = child<QPushButton>(w, "Command4_1");
        auto* list1 = child<QListWidget>(w, "List1");
        QCOMPARE(enabledFrames(w), 1);
        QVERIFY(child<QFrame>(w, "Frame1_1")->isEnabled());
        // Start-up enabled the save button while List1 was still empty.
        QVERIFY(!save->isEnabled());

        const int order[] = { 0, 2, 1, 3, 2, 0, 3, 1 };
        for (int page : order) {
            tabs->setCurrentIndex(page);
            QCOMPARE(enabledFrames(w), 1);
            QVERIFY(
                child<QFrame>(w, QStringLiteral("Frame1_%1").arg(page).toLatin1().constData())->isEnabled());
        }
        QVERIFY(save->isEnabled());

        // An emptied List1 (as during a receive) disables saving on the next switch to "Datei".
        tabs->setCurrentIndex(0);
        list1->clear();
        tabs->setCurrentIndex(1);
        QVERIFY(!save->isEnabled());
    }

    void editorFieldsFollowListSelectionOnPageSwitch()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        auto* tabs = child<QTabWidget>(w, "SSTab1");
        auto* list2 = child<QListWidget>(w, "List2");
        tabs->setCurrentIndex(2);
        for (QLineEdit* field : w.Text2)
            QVERIFY(!field->isEnabled());
        tabs->setCurrentIndex(0);
        list2->setCurrentRow(3);
        tabs->setCurrentIndex(2);
        for (QLineEdit* field : w.Text2)
            QVERIFY(field->isEnabled());
    }

    void statisticsClickRereadsList1()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.SSTab1->setCurrentIndex(0);
        w.List1->clear();
        QTest::mouseClick(w.Label4, Qt::LeftButton);
        QCOMPARE(w.Label4->text(),
            QStringLiteral("Anzahl Einträge: 0\r\nAnzahl Schüsse: 0\r\nZeitdauer : \r\nnoch frei: 170"));
        // What the label shows is no count the editor works with: that comes from the list.
        QCOMPARE(w.document().entryCount(), 1);
    }

    // A long path in a message (a reason from the system, a full file name) wraps inside the screen,
    // and so does a long report; the text is the one given, without invisible characters.
    void messageBoxStaysWithinTheScreen_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("details");
        const QString path = QStringLiteral("/media/feuerwerk/") + QString(40, QLatin1Char('x')) + "/"
            + QString(250, QLatin1Char('y')) + QStringLiteral(".fsl");
        QTest::newRow("long path")
            << QStringLiteral("Die Datei %1 konnte nicht geschrieben werden.").arg(path) << QString();
        QStringList rows;
        for (int row = 2; row < 172; ++row)
            rows.append(QStringLiteral("Zeile %1: unbekanntes Zündgerät \"K\"").arg(row));
        const BoxReport report
            = ListedReport(QStringLiteral("Die Datei %1 wurde nicht übernommen:\n\n").arg(path), rows);
        QTest::newRow("170 refused rows") << report.text << report.details;
    }
    void messageBoxStaysWithinTheScreen()
    {
        QFETCH(QString, text);
        QFETCH(QString, details);
        Form1 w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QRect frame;
        QString shownText;
        QString shownAs;
        bool textFits = false;
        QString shownDetails;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            // The box sizes itself again at every layout request; the first painting of its text makes one.
            LayoutRequests requests;
            box->installEventFilter(&requests);
            if (!QTest::qWaitFor([&] { return requests.seen > 0; }, 5000))
                qWarning("no layout request");
            frame = box->frameGeometry();
            shownText = box->text();
            // What shows the text wraps a long word and has the room its lines need.
            if (auto* shown = box->findChild<QWidget*>(QStringLiteral("BoxText"))) {
                shownAs = shown->accessibleName();
                textFits = shown->isVisible() && shown->heightForWidth(shown->width()) <= shown->height()
                    && box->rect().contains(shown->geometry());
            }
            shownDetails = box->detailedText();
            box->accept();
        });
        w.prompter().messageWithDetails(
            QStringLiteral("Kelto"), text, details, Prompter::Buttons::Ok, Prompter::Answer::Ok);
        QVERIFY(!frame.isEmpty());
        const QRect screen = w.screen()->availableGeometry();
        QVERIFY2(frame.width() <= screen.width() && frame.height() <= screen.height(),
            qPrintable(QStringLiteral("%1 x %2").arg(frame.width()).arg(frame.height())));
        QCOMPARE(shownText, text);
        QCOMPARE(shownAs, text);
        QVERIFY(!shownAs.contains(QChar(0x200B)));
        QVERIFY(textFits);
        QCOMPARE(shownDetails, details);
    }

    void endClosesWindow()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        QVERIFY(!w.isVisible());
    }

    void elementsLieInsideTheirContainers()
    {
        Form1 w(std::make_unique<ScriptedPrompter>());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.size(), QSize(633, 465));
        for (QWidget* widget : w.findChildren<QWidget*>()) {
            static const QRegularExpression element(
                "^(Label|List|Combo|Command|Text|Dir|File|Drive|Frame2|Check|Picture|HScroll)\\d*(_\\d)?$");
            if (!element.match(widget->objectName()).hasMatch())
                continue;
            QWidget* parent = widget->parentWidget();
            QVERIFY2(parent->rect().contains(widget->geometry()),
                qPrintable(widget->objectName()
                    + QString(" %1,%2 %3x%4 in %5x%6")
                          .arg(widget->x())
                          .arg(widget->y())
                          .arg(widget->width())
                          .arg(widget->height())
                          .arg(parent->width())
                          .arg(parent->height())));
        }
        // Every device name and COMn fits its box; a present port shows its device's name, cut to fit.
        for (QComboBox* box : { static_cast<QComboBox*>(w.Combo1), static_cast<QComboBox*>(w.Combo2) }) {
            QStyleOptionComboBox option;
            option.initFrom(box);
            const int room
                = box->style()
                      ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box)
                      .width();
            const int named = box == w.Combo1 ? LastPortNumber : box->count();
            for (int i = 0; i < named; ++i)
                QVERIFY2(box->fontMetrics().horizontalAdvance(box->itemText(i)) <= room,
                    qPrintable(box->itemText(i)));
        }
        // Every button's text fits it with the style's margins, on each page as it is shown.
        for (int tab = w.SSTab1->count() - 1; tab >= 0; --tab) {
            w.SSTab1->setCurrentIndex(tab);
            QCoreApplication::processEvents();
            for (QPushButton* button : w.findChildren<QPushButton*>()) {
                if (!button->isVisible())
                    continue;
                const int margins = 2
                    * (button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button)
                        + button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button));
                const QFontMetrics metrics = button->fontMetrics();
                const QString shown = QString(button->text()).remove(QLatin1Char('&'));
                QVERIFY2(metrics.horizontalAdvance(shown) + margins <= button->width()
                        && metrics.height() + 4 <= button->height(),
                    qPrintable(button->objectName()));
            }
        }
        w.SSTab1->setCurrentIndex(1);
        // Nothing on the page "Datei" lies on another element.
        const QList<QWidget*> filePage = w.Frame1[1]->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        QVERIFY(filePage.size() >= 12);
        for (int i = 0; i < filePage.size(); ++i) {
            for (int j = i + 1; j < filePage.size(); ++j)
                QVERIFY2(!filePage[i]->geometry().intersects(filePage[j]->geometry()),
                    qPrintable(filePage[i]->objectName() + " " + filePage[j]->objectName()));
        }
        // The page frames start 8 px right of the tab control's corner, below the row of tabs.
        QWidget* pages = w.SSTab1->widget(0)->parentWidget();
        for (int i = 0; i < 4; ++i) {
            QVERIFY(pages->rect().contains(w.Frame1[i]->geometry()));
            const QPoint corner = w.Frame1[i]->mapTo(w.SSTab1, QPoint(0, 0));
            QCOMPARE(corner.x(), 8);
            QVERIFY(corner.y() >= 24 && corner.y() <= 30);
        }
    }
};

KELTO_TEST_MAIN(TestForm1)
#include "tst_form1.moc"
