#pragma once

#include <QString>

class QWidget;

// The modal save-file dialog through which the operator picks the data file.
class SaveDialog
{
public:
    virtual ~SaveDialog() = default;

    // The window the dialog belongs to: shown over it and modal to it.
    virtual void setParentWidget(QWidget *parent) = 0;

    virtual void setTitle(const QString &title) = 0;
    // filterName shown for files matching pattern, e.g. ("Бинарные файлы", "*.bin").
    virtual void setFilter(const QString &filterName, const QString &pattern) = 0;
    // Asks before an existing file is chosen; never changes the current directory.
    virtual void showSave() = 0;
    // Full path of the file last chosen; empty if none was ever chosen.
    virtual QString fileName() const = 0;
};
