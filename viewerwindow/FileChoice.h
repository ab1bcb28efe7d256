#pragma once

#include <QString>

class QWidget;

// The modal dialogs through which the operator picks a recording to open and a file to
// export to. The window asks through this interface so that tests can answer.
class FileChoice
{
public:
    virtual ~FileChoice() = default;

    // The window the dialogs belong to: shown over it and modal to it.
    virtual void setParentWidget(QWidget *parent) = 0;

    // filters as for QFileDialog: "Записи (*.bin *.json);;Все файлы (*)". Empty if cancelled.
    virtual QString fileToOpen(const QString &title, const QString &filters) = 0;
    // Asks before an existing file is chosen. Empty if cancelled.
    virtual QString fileToSave(const QString &title, const QString &filters, const QString &suggestedPath) = 0;
};
