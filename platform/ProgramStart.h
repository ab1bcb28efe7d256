#pragma once

class QApplication;
class QString;

// What the program sets up for itself when it starts.
class ProgramStart
{
public:
    // Before anything else runs. On Linux a write beyond the file-size limit (ulimit -f)
    // then fails with EFBIG and is reported like a full disk, instead of the signal
    // SIGXFSZ ending the program (ProgramStart_unix.cpp, ProgramStart_win.cpp).
    static void prepare();
    // Once the application exists: the desktop matches the window to the program's
    // menu entry and icon, and Qt's own texts (the save dialog, the buttons of the
    // message boxes) are Russian like the rest of the window, whatever the locale.
    // Without Qt's translations they stay English.
    static void settle(QApplication &application);
    // The same for another of the project's programs, known to the desktop as desktopFileName.
    static void settle(QApplication &application, const QString &desktopFileName);
};
