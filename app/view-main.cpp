// larventa-view: looks back at a recording. "larventa-view [FILE]" opens the window, on the
// data file or its description if one is named, and "--follow FILE" follows a file still
// being written; "larventa-view --export wav|edf|csv DATA OUT" converts a recording and
// "--export spectrum DATA OUT" writes its spectrum, without a window, also where there is no
// display, and "--help" and "--version" answer there too.

#include "platform/ProgramStart.h"
#include "platform/QtMessageBoxes.h"
#include "viewer/ExportCommand.h"
#include "viewer/UsageCommand.h"
#include "viewerwindow/QtFileChoice.h"
#include "viewerwindow/ViewerWindow.h"

#include <QApplication>
#include <QCoreApplication>

namespace {

QStringList argumentsAfterTheProgram(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

} // namespace

int main(int argc, char *argv[])
{
    ProgramStart::prepare();
    const QStringList arguments = argumentsAfterTheProgram(argc, argv);
    if (UsageCommand::isAskedFor(arguments)) {
        QCoreApplication application(argc, argv);
        return UsageCommand::run(QCoreApplication::arguments().mid(1));
    }
    if (ExportCommand::isAskedFor(arguments)) {
        QCoreApplication application(argc, argv);
        return ExportCommand::run(QCoreApplication::arguments().mid(1));
    }
    QApplication application(argc, argv);
    ProgramStart::settle(application, QStringLiteral(LARVENTA_VIEW_APP_ID));
    QtMessageBoxes messages;
    QtFileChoice files;
    ViewerWindow window(messages, files);
    window.show();
    const QStringList named = QApplication::arguments().mid(1);
    if (named.size() == 2 && named.constFirst() == QLatin1String("--follow"))
        window.followFile(named.at(1));
    else if (!named.isEmpty())
        window.openFile(named.constFirst());
    return application.exec();
}
