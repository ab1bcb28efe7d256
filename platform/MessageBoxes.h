#pragma once

#include <QString>

class QWidget;

// Modal message boxes. The program shows them through this interface so that
// tests can answer them.
class MessageBoxes
{
public:
    enum class Icon { Error, Warning };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    struct Message
    {
        QString text;
        QString title;
        Icon icon;
        Buttons buttons;
    };

    virtual ~MessageBoxes() = default;

    // The window the boxes belong to: shown over it and modal to it.
    virtual void setParentWidget(QWidget *parent) = 0;

    // Blocks until the operator answers. A Yes/No box can only be answered Yes or No;
    // No is the default button.
    virtual Answer show(const Message &message) = 0;
};
