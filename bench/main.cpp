// larventa-bench: measures recordings of the simulated instrument through the
// program's own run, link, data file and plot, and prints each figure with
// its verdict against the goal, with the windows on Qt's platform from QT_QPA_PLATFORM
// (offscreen if unset). Arguments choose groups of figures (flood, cpu,
// latency, memory, view, follow); none runs them all. redraw takes only the view's repaint,
// one of view's figures.

#include "BenchReport.h"
#include "CpuFigures.h"
#include "FloodFigures.h"
#include "FollowFigures.h"
#include "LatencyFigures.h"
#include "ViewerDataFigures.h"
#include "ViewerFigures.h"

#include <QApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("QT_QPA_PLATFORMTHEME");
    QApplication application(argc, argv);

    const QStringList groups{QStringLiteral("flood"), QStringLiteral("cpu"), QStringLiteral("latency"),
                             QStringLiteral("memory"), QStringLiteral("view"), QStringLiteral("follow")};
    const QStringList choosable = groups + QStringList{QStringLiteral("redraw")};
    QStringList chosen = QApplication::arguments().mid(1);
    for (const QString &group : chosen) {
        if (!choosable.contains(group)) {
            std::fprintf(stderr, "usage: larventa-bench [%s]...\n", qPrintable(choosable.join(QLatin1Char('|'))));
            return 2;
        }
    }
    if (chosen.isEmpty())
        chosen = groups;
    std::printf("Qt platform: %s\n\n", qPrintable(QGuiApplication::platformName()));
    std::fflush(stdout);

    BenchReport report;
    FloodFigures flood(report);
    CpuFigures cpu(report);
    LatencyFigures latency(report);
    if (chosen.contains(QStringLiteral("flood")))
        flood.measureThroughput();
    if (chosen.contains(QStringLiteral("cpu"))) {
        cpu.measureLineRate();
        cpu.measureIdle();
    }
    if (chosen.contains(QStringLiteral("latency"))) {
        latency.measureStop();
        latency.measureBlocks();
    }
    if (chosen.contains(QStringLiteral("memory")))
        flood.measureMemory();
    // Each group of the viewer's figures removes its recordings before the next makes its own.
    if (chosen.contains(QStringLiteral("view"))) {
        {
            ViewerFigures viewer(report);
            viewer.measureOpen();
            viewer.measureRedraw();
        }
        ViewerDataFigures viewerData(report);
        viewerData.measure();
    } else if (chosen.contains(QStringLiteral("redraw"))) {
        ViewerFigures(report).measureRedraw();
    }
    if (chosen.contains(QStringLiteral("follow"))) {
        FollowFigures follow(report);
        follow.measure();
    }
    report.printVerdicts();
    return report.anyFailed() ? 1 : 0;
}
