#pragma once

#include <QtGlobal>

class ExportTarget;
class QString;
class Recording;

// Samples as an EDF+ file through EDFlib: one signal whose digital and physical ranges are
// both 0…255, starting when the span starts, to a tenth of a millisecond. A rate that is not a
// whole number is kept through the data record's duration: 5,597.3 samples a second is
// 55,973 samples in records of 10 s. The file holds whole records, so the last one is filled
// up with its last sample repeated, and the annotation "Повтор последнего" spans that padding.
class EdfExport
{
public:
    static bool write(const Recording &recording, qint64 first, qint64 last, const ExportTarget &target,
                      QString *reason);

    // The samples in a record and the record's length in whole seconds (1…60) whose ratio
    // comes closest to samplesPerSecond, the shortest of those that are exact.
    static void recordFor(double samplesPerSecond, int *samplesPerRecord, int *recordSeconds);
};
