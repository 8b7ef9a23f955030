#pragma once

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

// Runs a test class with "temp" and the working folder in a fresh temporary folder,
// so no test ever touches the user's own folders or settings.
#define KELTO_TEST_MAIN(TestClass)                                                                          \
    int main(int argc, char* argv[])                                                                        \
    {                                                                                                       \
        QTemporaryDir sandbox;                                                                              \
        if (!sandbox.isValid())                                                                             \
            return 2;                                                                                       \
        QDir(sandbox.path()).mkpath(QStringLiteral("temp"));                                                \
        QDir(sandbox.path()).mkpath(QStringLiteral("work"));                                                \
        qputenv("temp", QFile::encodeName(sandbox.filePath(QStringLiteral("temp"))));                       \
        QDir::setCurrent(sandbox.filePath(QStringLiteral("work")));                                         \
        QApplication app(argc, argv);                                                                       \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                            \
        TestClass test;                                                                                     \
        QTEST_SET_MAIN_SOURCE_PATH                                                                          \
        return QTest::qExec(&test, argc, argv);                                                             \
    }
