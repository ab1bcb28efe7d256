#pragma once

#include <QtGlobal>

class ExportTarget;
class QString;
class Recording;

// Samples as CSV: a header line "seconds,value", then one line a sample with its time from
// the recording's start, a decimal point and enough digits to tell neighbours apart.
class CsvExport
{
public:
    static bool write(const Recording &recording, qint64 first, qint64 last, const ExportTarget &target,
                      QString *reason);
};
