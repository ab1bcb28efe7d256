#pragma once

#include <QString>

struct PowerDensity;

// A spectrum as CSV: a header line "hertz,db", then one line a bin from 0 Hz up: its
// frequency and its density in dB, both with a decimal point whatever the locale. The file
// appears whole under its name or not at all (ExportTarget).
class DensityExport
{
public:
    // On failure returns false and sets a Russian message naming the file and the reason.
    static bool write(const PowerDensity &spectrum, const QString &outputPath, QString *errorMessage);
};
