#pragma once

#include "TimedTracePlot.h"

#include "output/DataFile.h"
#include "output/GraphikBox.h"

#include <QSerialPort>

// The baseline the program is measured against: a polling loop that spins, handling
// events once per turn, takes a block whenever more than 511 bytes are waiting, and
// empties the receive buffer after every block, on a port whose read buffer holds
// 512 bytes. It writes and draws blocks as the program does.
class PollingLoopRecorder {
public:
    PollingLoopRecorder(const QString &devicePath, const QString &dataFilePath);

    // Returns after the recording; false with a message if it could not start.
    bool record(int channelNumber, qint64 seconds, QString *problem);
    void stop();

    TimedTracePlot &plot();

private:
    void send(quint8 command);
    void spinFor(qint64 milliseconds);
    void drawBlock(qint64 blockIndex, const char *block, float xStep);

    QString m_dataFilePath;
    QSerialPort m_port;
    DataFile m_file;
    GraphikBox m_box;
    TimedTracePlot m_plot;
    bool m_stopPressed = false;
};
