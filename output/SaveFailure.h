#pragma once

#include <QString>

class QSaveFile;

// Why a file the program saves whole (the picture, the description) could not be saved.
class SaveFailure
{
public:
    // In Russian, with the system's own words in brackets.
    static QString reason(const QSaveFile &file);
};
