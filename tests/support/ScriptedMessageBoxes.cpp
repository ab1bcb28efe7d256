#include "ScriptedMessageBoxes.h"

MessageBoxes::Answer ScriptedMessageBoxes::show(const Message &message)
{
    shown.append(message);
    if (whileShown)
        whileShown(message);
    if (message.buttons == Buttons::Ok)
        return Answer::Ok;
    return yesNoAnswers.isEmpty() ? Answer::No : yesNoAnswers.takeFirst();
}
