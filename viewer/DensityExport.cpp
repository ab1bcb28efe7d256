#include "viewer/DensityExport.h"

#include "platform/SystemErrorText.h"
#include "viewer/ExportTarget.h"
#include "viewer/PowerDensity.h"

#include <QByteArray>

#include <cmath>

bool DensityExport::write(const PowerDensity &spectrum, const QString &outputPath, QString *errorMessage)
{
    const auto failed = [&](const QString &reason) {
        *errorMessage = QStringLiteral("Не удалось сохранить спектр в «%1»: %2.").arg(outputPath, reason);
        return false;
    };
    // Three digits past the bin width's first, so that neighbouring bins read apart.
    const int decimals = qBound(0, 3 - int(std::floor(std::log10(spectrum.binWidth()))), 9);
    QByteArray text("hertz,db\n");
    text.reserve(spectrum.binCount() * 24);
    for (int bin = 0; bin < spectrum.binCount(); ++bin) {
        text += QByteArray::number(spectrum.frequencyOf(bin), 'f', decimals);
        text += ',';
        text += QByteArray::number(spectrum.decibelsAt(bin), 'f', 3);
        text += '\n';
    }
    ExportTarget target(outputPath);
    QString reason;
    if (!target.create(&reason))
        return failed(reason);
    int error = 0;
    if (!target.write(text.constData(), text.size(), &error))
        return failed(QStringLiteral("ошибка записи (%1)").arg(SystemErrorText::forSystemError(error)));
    if (!target.commit(&reason))
        return failed(reason);
    return true;
}
