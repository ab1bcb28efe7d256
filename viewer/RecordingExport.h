#pragma once

#include <QString>

class Recording;

// Writes samples [first, last) of a recording to another format. The file appears whole
// under its name or not at all: it is written beside it under another name and renamed at
// the end, and an existing file is replaced only then.
class RecordingExport
{
public:
    enum class Format { Wav, Edf, Csv };
    // A spreadsheet's limit on rows, the header included.
    static constexpr qint64 CsvRowLimit = 1048576;

    // Parses "wav", "edf" or "csv"; false if it is none of them.
    static bool formatFromName(const QString &name, Format *format);
    // On failure returns false and sets a Russian message naming the file and the reason
    // (for CSV past its limit: the row count, and WAV or EDF+ as the way out).
    static bool write(const Recording &recording, qint64 first, qint64 last, Format format,
                      const QString &outputPath, QString *errorMessage);
};
