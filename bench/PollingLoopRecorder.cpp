#include "PollingLoopRecorder.h"

#include "link/InstrumentLink.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

namespace {

constexpr float ValueOffset = 5.0f;
constexpr double PlotWidthPerSecond = 20.0;
constexpr qint64 HandshakeMilliseconds = 1000;

} // namespace

PollingLoopRecorder::PollingLoopRecorder(const QString &devicePath, const QString &dataFilePath)
    : m_dataFilePath(dataFilePath)
    , m_plot(m_box)
{
    m_port.setPortName(devicePath);
    m_port.setReadBufferSize(SampleBlockBytes);
    m_port.setBaudRate(InstrumentLink::LineRate);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_box.show();
}

bool PollingLoopRecorder::record(int channelNumber, qint64 seconds, QString *problem)
{
    if (!m_port.open(QIODevice::ReadWrite)) {
        *problem = m_port.errorString();
        return false;
    }
    if (!m_file.createAfresh(m_dataFilePath, problem)) {
        m_port.close();
        return false;
    }
    m_stopPressed = false;
    m_plot.PreparePlot();
    m_port.clear(QSerialPort::Input);
    send(InstrumentLink::StopCode);
    spinFor(HandshakeMilliseconds);
    send(quint8(channelNumber - 1));

    const float xStep = float(PlotWidthPerSecond / double(seconds));
    const QDeadlineTimer timeLeft(seconds * 1000, Qt::PreciseTimer);
    char block[SampleBlockBytes];
    qint64 blocks = 0;
    while (!timeLeft.hasExpired() && !m_stopPressed) {
        if (m_port.bytesAvailable() > SampleBlockBytes - 1) {
            m_port.read(block, SampleBlockBytes);
            m_port.clear(QSerialPort::Input);
            if (!m_file.writeBlock(blocks, QByteArrayView(block, SampleBlockBytes), problem))
                break;
            drawBlock(blocks, block, xStep);
            ++blocks;
        }
        QCoreApplication::processEvents();
    }

    send(InstrumentLink::StopCode);
    m_file.close();
    m_port.close();
    m_plot.saveSnapshot(m_dataFilePath, problem);
    return true;
}

void PollingLoopRecorder::stop()
{
    m_stopPressed = true;
}

TimedTracePlot &PollingLoopRecorder::plot()
{
    return m_plot;
}

void PollingLoopRecorder::send(quint8 command)
{
    const char byte = char(command);
    m_port.write(&byte, 1);
    m_port.flush();
}

void PollingLoopRecorder::spinFor(qint64 milliseconds)
{
    const QDeadlineTimer deadline(milliseconds, Qt::PreciseTimer);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents();
}

void PollingLoopRecorder::drawBlock(qint64 blockIndex, const char *block, float xStep)
{
    const qint64 first = blockIndex * SampleBlockBytes;
    const auto x = [xStep](qint64 sample) { return float(double(xStep) * double(sample)); };
    const auto y = [block](int k) { return float(quint8(block[k])) + ValueOffset; };
    for (int k = 0; k < TimedTracePlot::SegmentsPerBlock; ++k)
        m_plot.drawSegment(x(first + k), y(k), x(first + k + 1), y(k + 1));
}
