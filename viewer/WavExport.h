#pragma once

#include <QtGlobal>

class ExportTarget;
class QString;
class Recording;

// Samples as a WAV file of 8-bit unsigned PCM, mono, through libsndfile: the data chunk holds
// the bytes of the data file unchanged. The rate field holds the rate rounded to a whole
// number; the comment holds it exactly, and the date the span's start.
class WavExport
{
public:
    static bool write(const Recording &recording, qint64 first, qint64 last, const ExportTarget &target,
                      QString *reason);
};
