// Opens the program's window on the data file given as the first argument, starts a
// recording and closes the window once the file holds as many blocks as the second
// argument says. Closing must end the program at once with status 0; getting past
// the recording means it did not.

#include "ScriptedMessageBoxes.h"
#include "ScriptedSaveDialog.h"

#include "window/DataGatheringSystem.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QTest>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    if (argc != 3)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    const qint64 blocks = QByteArray(argv[2]).toLongLong();

    ScriptedMessageBoxes messages;
    ScriptedSaveDialog dialog;
    dialog.nextChoice = path;
    DataGatheringSystem window(messages, dialog);
    window.show();
    QTest::mouseClick(window.findChild<QAbstractButton *>(QStringLiteral("SelectFileToWriteButton")), Qt::LeftButton);

    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &window, [&] {
        if (QFileInfo(path).size() >= blocks * 512)
            window.close();
    });
    watch.start(5);
    QTest::mouseClick(window.findChild<QAbstractButton *>(QStringLiteral("StartButton")), Qt::LeftButton);
    return 3;
}
