#include "viewer/RecordingExport.h"

#include "viewer/CsvExport.h"
#include "viewer/EdfExport.h"
#include "viewer/ExportTarget.h"
#include "viewer/Recording.h"
#include "viewer/WavExport.h"

#include <QLocale>

bool RecordingExport::formatFromName(const QString &name, Format *format)
{
    if (name == QLatin1String("wav"))
        *format = Format::Wav;
    else if (name == QLatin1String("edf"))
        *format = Format::Edf;
    else if (name == QLatin1String("csv"))
        *format = Format::Csv;
    else
        return false;
    return true;
}

bool RecordingExport::write(const Recording &recording, qint64 first, qint64 last, Format format,
                            const QString &outputPath, QString *errorMessage)
{
    first = qMax<qint64>(0, first);
    last = qMin(last, recording.sampleCount());
    const auto failed = [&](const QString &reason) {
        *errorMessage = QStringLiteral("Не удалось сохранить «%1»: %2.").arg(outputPath, reason);
        return false;
    };
    if (first >= last)
        return failed(QStringLiteral("в выбранном участке нет отсчётов"));
    if (format == Format::Csv && last - first + 1 > CsvRowLimit) {
        const QLocale russian(QLocale::Russian);
        return failed(QStringLiteral("в CSV вышло бы %1 строк вместе с заголовком, а электронные таблицы читают "
                                     "не больше %2. Выберите участок короче или сохраните в WAV или EDF+")
                          .arg(russian.toString(last - first + 1), russian.toString(CsvRowLimit)));
    }
    ExportTarget target(outputPath);
    QString reason;
    if (!target.create(&reason))
        return failed(reason);
    bool written = false;
    switch (format) {
    case Format::Wav: written = WavExport::write(recording, first, last, target, &reason); break;
    case Format::Edf: written = EdfExport::write(recording, first, last, target, &reason); break;
    case Format::Csv: written = CsvExport::write(recording, first, last, target, &reason); break;
    }
    if (!written || !target.commit(&reason))
        return failed(reason);
    return true;
}
