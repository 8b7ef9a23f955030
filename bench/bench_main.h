#pragma once

#include "shotlist/shot_list.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

// 170 entries 7 s apart, circuits of every device.
inline ShotList FullBenchList()
{
    ShotList list = ShotList::startup();
    for (int i = 0; i < EntryCount; ++i) {
        list.times[i] = i * 7;
        list.circuits[i] = qint16(i % 255);
    }
    return list;
}

// Benchmarks that build the window run offscreen unless a platform is chosen, with settings, recovery
// copy and catalogue in a fresh folder, never the user's (a benchmark may set its own).
#define KELTO_BENCHMARK_MAIN()                                                                               \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                                  \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                                         \
        QApplication app(argc, argv);                                                                        \
        QTemporaryDir benchFolder;                                                                           \
        if (qEnvironmentVariableIsEmpty("temp"))                                                             \
            qputenv("temp", QFile::encodeName(benchFolder.path() + QLatin1Char('/')));                       \
        benchmark::Initialize(&argc, argv);                                                                  \
        benchmark::RunSpecifiedBenchmarks();                                                                 \
        benchmark::Shutdown();                                                                               \
        return 0;                                                                                            \
    }
