#pragma once

#include "platform/SaveDialog.h"

#include <optional>

// The save dialog answered by the test: each showSave() takes the prepared choice,
// or is cancelled when there is none.
class ScriptedSaveDialog : public SaveDialog
{
public:
    void setParentWidget(QWidget *) override {}
    void setTitle(const QString &text) override { title = text; }
    void setFilter(const QString &name, const QString &pattern) override
    {
        filterName = name;
        filterPattern = pattern;
    }
    void showSave() override
    {
        ++shown;
        if (nextChoice)
            chosen = *nextChoice;
        nextChoice.reset();
    }
    QString fileName() const override { return chosen; }

    std::optional<QString> nextChoice;
    QString chosen;
    QString title;
    QString filterName;
    QString filterPattern;
    int shown = 0;
};
