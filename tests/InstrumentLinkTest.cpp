#include "link/BlockReader.h"
#include "link/InstrumentLink.h"
#include "link/SerialPortName.h"
#include "sim/InstrumentSimulator.h"

#include <QBuffer>
#include <QTest>

class InstrumentLinkTest : public QObject
{
    Q_OBJECT

private slots:
    void takesOnlyWholeBlocksOldestFirst_data();
    void takesOnlyWholeBlocksOldestFirst();
    void mapsPortNumbersToDevices();
    void opensTheLineAt56000Baud();
    void emptyingDropsEverythingReceivedSoFar();
    void sendsSingleCommandBytes();
    void noticesADeviceThatVanishes();
    void namesTheDeviceThatCannotBeOpened_data();
    void namesTheDeviceThatCannotBeOpened();

private:
    // The link on a fresh simulator, opened.
    bool openOnSimulator(InstrumentSimulator &sim, InstrumentLink &link);
    static void waitForBytes(InstrumentLink &link, qint64 count);
};

bool InstrumentLinkTest::openOnSimulator(InstrumentSimulator &sim, InstrumentLink &link)
{
    QString error;
    if (!sim.open(&error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    qputenv("LARVENTA_PORT1", sim.devicePath().toLocal8Bit());
    link.configure(1);
    if (!link.open(&error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    return true;
}

void InstrumentLinkTest::waitForBytes(InstrumentLink &link, qint64 count)
{
    QTRY_VERIFY_WITH_TIMEOUT(link.bytesWaiting() >= count, 5000);
}

void InstrumentLinkTest::takesOnlyWholeBlocksOldestFirst_data()
{
    QTest::addColumn<int>("received");
    QTest::addColumn<int>("blocks");

    QTest::newRow("511 bytes") << 511 << 0;
    QTest::newRow("512 bytes") << 512 << 1;
    QTest::newRow("1300 bytes") << 1300 << 2;
}

void InstrumentLinkTest::takesOnlyWholeBlocksOldestFirst()
{
    QFETCH(int, received);
    QFETCH(int, blocks);

    QByteArray bytes(received, Qt::Uninitialized);
    for (int i = 0; i < received; ++i)
        bytes[i] = char(i * 7 + i / 256);
    QBuffer device(&bytes);
    QVERIFY(device.open(QIODevice::ReadOnly));

    BlockReader reader(&device);
    SampleBlock block;
    for (int b = 0; b < blocks; ++b) {
        QVERIFY(reader.take(block));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(block.data()), 512), bytes.mid(b * 512, 512));
    }
    QVERIFY(!reader.blockWaiting());
    QVERIFY(!reader.take(block));
    QCOMPARE(device.bytesAvailable(), qint64(received - blocks * 512));
}

void InstrumentLinkTest::mapsPortNumbersToDevices()
{
    qunsetenv("LARVENTA_PORT3");
    QCOMPARE(SerialPortName::forPort(3), QStringLiteral("/dev/ttyS2"));
    qputenv("LARVENTA_PORT3", "/dev/ttyUSB0");
    QCOMPARE(SerialPortName::forPort(3), QStringLiteral("/dev/ttyUSB0"));
    qunsetenv("LARVENTA_PORT3");
}

void InstrumentLinkTest::opensTheLineAt56000Baud()
{
    InstrumentSimulator sim;
    InstrumentLink link;
    QVERIFY(openOnSimulator(sim, link));
    // Read back from the driver, not from Qt: not the nearest standard rate 57600.
    QCOMPARE(sim.lineSpeed(), quint32(56000));
}

void InstrumentLinkTest::emptyingDropsEverythingReceivedSoFar()
{
    InstrumentSimulator sim;
    InstrumentLink link;
    QVERIFY(openOnSimulator(sim, link));

    // Part of it still in the system's buffer, part already taken into the program.
    sim.inject(QByteArray(300, 'x'));
    waitForBytes(link, 300);
    sim.inject(QByteArray(700, 'y'));
    QTest::qWait(50);
    link.emptyReceiveBuffer();

    sim.inject(QByteArray(512, 'z'));
    waitForBytes(link, 512);
    QTest::qWait(50);
    QCOMPARE(link.bytesWaiting(), qint64(512));
    SampleBlock block;
    QVERIFY(link.readBlock(block));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(block.data()), 512), QByteArray(512, 'z'));
}

void InstrumentLinkTest::sendsSingleCommandBytes()
{
    InstrumentSimulator sim;
    InstrumentLink link;
    QVERIFY(openOnSimulator(sim, link));

    QVERIFY(link.send(InstrumentLink::StopCode));
    QVERIFY(link.send(5));
    QTRY_COMPARE(sim.commands().size(), 2);
    QCOMPARE(sim.commands().at(0).byte, quint8(0xFF));
    QCOMPARE(sim.commands().at(1).byte, quint8(5));
    QCOMPARE(sim.streamingChannel(), 5);
}

void InstrumentLinkTest::noticesADeviceThatVanishes()
{
    InstrumentSimulator sim;
    InstrumentLink link;
    QVERIFY(openOnSimulator(sim, link));
    QVERIFY(!link.isLost());

    sim.hangUp();
    QTRY_VERIFY_WITH_TIMEOUT(link.isLost(), 2000);
    link.close();
    QVERIFY(!link.isOpen());
}

void InstrumentLinkTest::namesTheDeviceThatCannotBeOpened_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing") << "/dev/larventa-no-such-port" << "устройство не найдено";
    QTest::newRow("not a serial port") << "/dev/null" << "параметры линии";
}

void InstrumentLinkTest::namesTheDeviceThatCannotBeOpened()
{
    QFETCH(QString, device);
    QFETCH(QString, reason);

    qputenv("LARVENTA_PORT1", device.toLocal8Bit());
    InstrumentLink link;
    link.configure(1);
    QString error;
    QVERIFY(!link.open(&error));
    QVERIFY(!link.isOpen());
    QVERIFY2(error.contains(device) && error.contains(reason), qPrintable(error));
}

QTEST_GUILESS_MAIN(InstrumentLinkTest)
#include "InstrumentLinkTest.moc"
