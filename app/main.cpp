#include "platform/ProgramStart.h"
#include "platform/QtMessageBoxes.h"
#include "platform/QtSaveDialog.h"
#include "window/DataGatheringSystem.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    ProgramStart::prepare();
    QApplication application(argc, argv);
    ProgramStart::settle(application);
    QtMessageBoxes messages;
    QtSaveDialog saveDialog;
    DataGatheringSystem window(messages, saveDialog);
    window.show();
    return application.exec();
}
