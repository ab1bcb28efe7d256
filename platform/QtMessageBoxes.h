#pragma once

#include "platform/MessageBoxes.h"

class QWidget;

class QtMessageBoxes : public MessageBoxes
{
public:
    explicit QtMessageBoxes(QWidget *parent = nullptr);

    Answer show(const Message &message) override;

private:
    QWidget *m_parent;
};
