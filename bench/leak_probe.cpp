// A start-edit-save-quit run for leak checkers (valgrind, LeakSanitizer):
//   valgrind --leak-check=full bench/leak_probe
#include "form1.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Answers the save dialogs: a comment, then the proposed name.
class SavePrompter : public Prompter {
public:
    Answer message(const QString&, const QString&, Buttons, Answer defaultButton, Icon) override
    {
        return defaultButton;
    }
    std::optional<QString> input(const QString&, const QString&, const QString& defaultText) override
    {
        return defaultText.isEmpty() ? QStringLiteral("Probe") : defaultText;
    }
    std::optional<QString> chooseFile(FileChoice, const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
    void printPreview(const QString&, const QPageLayout&, const QString&,
        const std::function<void(QPagedPaintDevice&)>&) override
    {
    }
};

} // namespace

int main(int argc, char* argv[])
{
    QTemporaryDir sandbox;
    qputenv("temp", QFile::encodeName(sandbox.path()));
    QDir::setCurrent(sandbox.path());
    QApplication app(argc, argv);

    Form1 window(std::make_unique<SavePrompter>());
    window.show();
    if (!QTest::qWaitForWindowActive(&window))
        return 1;
    window.SSTab1->setCurrentIndex(2);
    window.List2->setCurrentRow(0);
    window.List2->setFocus();
    for (int k = 0; k < 5; ++k) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("7"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClicks(QApplication::focusWidget(), QString::number(k + 1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    window.SSTab1->setCurrentIndex(1);
    window.Command4_Click(1);
    const bool saved = QFile::exists(QStringLiteral("fw_000.fsl"));
    window.Command1_Click();
    return saved && window.document().entryCount() == 6 ? 0 : 1;
}
