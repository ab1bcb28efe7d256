#pragma once

#include <QtGlobal>

class ExportTarget;
class QString;
class Recording;

// Samples as a WAV file of 8-bit unsigned PCM, mono, through libsndfile: the data chunk holds
// the bytes of the data file unchanged. The rate field holds the rate rounded to a whole
// number; the comment holds it exactly, and the date the span's start. A WAV file holds at
// most 4 GiB; a longer span is refused before anything is written, for EDF+. RF64 is not
// written instead: libsndfile puts a ds64 or JUNK chunk before "fmt ", even in an RF64 file
// it turns back into WAV, and libsigrok's reader (PulseView's) reads "fmt " only at byte 12.
class WavExport
{
public:
    static bool write(const Recording &recording, qint64 first, qint64 last, const ExportTarget &target,
                      QString *reason);
};
