#include "viewer/ExportCommand.h"

#include "viewer/Recording.h"
#include "viewer/RecordingExport.h"
#include "viewer/DensityCommand.h"

#include <cstdio>

namespace {

int refuse(const QString &message, int code)
{
    std::fprintf(stderr, "larventa-view: %s\n", message.toUtf8().constData());
    return code;
}

} // namespace

bool ExportCommand::isAskedFor(const QStringList &arguments)
{
    return arguments.contains(QStringLiteral("--export"));
}

int ExportCommand::run(const QStringList &arguments)
{
    if (DensityCommand::isAskedFor(arguments))
        return DensityCommand::run(arguments);
    const QString usage = QStringLiteral("так сохраняют запись в другом формате: "
                                         "larventa-view --export wav|edf|csv ДАННЫЕ ФАЙЛ, "
                                         "или спектр: larventa-view --export spectrum ДАННЫЕ ФАЙЛ");
    const qsizetype at = arguments.indexOf(QStringLiteral("--export"));
    if (at < 0 || arguments.size() != at + 4 || at != 0)
        return refuse(usage, 2);
    RecordingExport::Format format;
    if (!RecordingExport::formatFromName(arguments.at(1), &format))
        return refuse(QStringLiteral("неизвестный формат «%1»; %2").arg(arguments.at(1), usage), 2);
    QString error;
    const std::unique_ptr<Recording> recording = Recording::open(arguments.at(2), &error);
    if (!recording)
        return refuse(error, 1);
    if (!RecordingExport::write(*recording, 0, recording->sampleCount(), format, arguments.at(3), &error))
        return refuse(error, 1);
    return 0;
}
