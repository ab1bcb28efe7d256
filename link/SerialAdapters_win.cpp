#include "link/SerialAdapters.h"

#include <QSerialPortInfo>

QStringList SerialAdapters::present(const QString &)
{
    QStringList ports;
    const QList<QSerialPortInfo> known = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : known) {
        const QString description = port.description();
        ports.append(description.isEmpty() ? port.portName()
                                           : QStringLiteral("%1 (%2)").arg(port.portName(), description));
    }
    return ports;
}

QString SerialAdapters::choiceHint(const QStringList &adapters, int portNumber)
{
    if (adapters.isEmpty()) {
        return QStringLiteral("Windows не знает ни одного COM-порта: подключите прибор или адаптер. Другой порт "
                              "задаётся переменной окружения LARVENTA_PORT%1.")
            .arg(portNumber);
    }
    const QString example = adapters.first().section(QLatin1Char(' '), 0, 0);
    return QStringLiteral("COM-порты, которые знает Windows: %1. Чтобы записывать с другого из них, задайте его "
                          "переменной окружения LARVENTA_PORT%2 (например, LARVENTA_PORT%2=%3) и запустите программу "
                          "снова.")
        .arg(adapters.join(QStringLiteral(", ")), QString::number(portNumber), example);
}
