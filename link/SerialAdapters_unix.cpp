#include "link/SerialAdapters.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

QStringList SerialAdapters::present(const QString &deviceFolder)
{
    const QDir devices(deviceFolder);
    QHash<QString, QString> lastingNames;
    const QDir byId(devices.filePath(QStringLiteral("serial/by-id")));
    const QFileInfoList links = byId.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : links) {
        if (link.isSymLink())
            lastingNames.insert(QFileInfo(link.symLinkTarget()).fileName(), link.absoluteFilePath());
    }

    QStringList adapters;
    const QStringList ttys = devices.entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")},
                                               QDir::System | QDir::Files, QDir::Name);
    for (const QString &tty : ttys)
        adapters.append(lastingNames.value(tty, devices.filePath(tty)));
    return adapters;
}

QString SerialAdapters::choiceHint(const QStringList &adapters, int portNumber)
{
    if (adapters.isEmpty()) {
        return QStringLiteral("Последовательных адаптеров (ttyUSB, ttyACM) не найдено; другое устройство "
                              "задаётся переменной окружения LARVENTA_PORT%1.")
            .arg(portNumber);
    }
    const QString plugged = adapters.size() == 1 ? QStringLiteral("Подключён адаптер") : QStringLiteral("Подключены адаптеры");
    return QStringLiteral("%1: %2. Чтобы записывать с адаптера, запустите программу так: LARVENTA_PORT%3=%4 larventa")
        .arg(plugged, adapters.join(QStringLiteral(", ")), QString::number(portNumber), adapters.first());
}
