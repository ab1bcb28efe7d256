#pragma once

#include "platform/MessageBoxes.h"

#include <QList>

#include <functional>

// Answers the program's message boxes in tests and keeps every message shown.
class ScriptedMessageBoxes : public MessageBoxes
{
public:
    void setParentWidget(QWidget *) override {}
    Answer show(const Message &message) override;

    // Answer to the next Yes/No boxes, in order; No once they run out.
    QList<Answer> yesNoAnswers;
    // Called while a box is up, to look at the program as the operator sees it then.
    std::function<void(const Message &)> whileShown;
    QList<Message> shown;
};
