#pragma once

#include <QString>

// Compares a data file with the stream the instrument sent, block by block, without
// holding either in memory. A block found later in the stream than expected means the
// bytes before it were lost; a block found nowhere near is foreign.
class StreamCheck {
public:
    struct Result {
        qint64 recordedBytes = 0;
        qint64 lostBytes = 0; // of the whole blocks sent, those not in the file
        qint64 foreignBytes = 0; // in the file but not from the stream
        bool readable = true;
    };

    // bytesSent: the stream's length from sample 0; only its whole blocks count.
    static Result compare(const QString &path, int channelNumber, qint64 bytesSent);
};
