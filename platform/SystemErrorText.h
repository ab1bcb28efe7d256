#pragma once

#include <QString>

// The operator-facing Russian wording of an error the system reported. What Linux's errno and
// Windows' error codes say alike is worded alike, so a full disk reads the same on both.
class SystemErrorText
{
public:
    // What an error means to the operator, whichever system reported it.
    enum class Meaning {
        Other,
        NoSuchFile,
        AccessDenied,
        DiskFull,
        QuotaExceeded,
        FileTooLarge,
        ReadOnly,
        IsFolder,
        NotAFolder,
        NameTooLong,
        Busy,
        // Windows: another program has the file open or mapped (the viewer, say) and the
        // system will not let it be truncated or replaced meanwhile.
        OpenElsewhere,
        InputOutput,
        NoDevice,
        TooManyFiles,
    };

    // An error number as this platform's own calls report it: errno on Linux, GetLastError()
    // on Windows (SystemErrorText_unix.cpp, SystemErrorText_win.cpp).
    static QString forSystemError(int error);
    // The meaning of a Windows system error code; here rather than beside the Windows calls so
    // that the table is checked on every platform.
    static Meaning ofWindowsError(quint32 code);
    // The words for a meaning other than Other.
    static QString wording(Meaning meaning);
};
