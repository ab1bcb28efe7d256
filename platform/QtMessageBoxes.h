#pragma once

#include "platform/MessageBoxes.h"

class QWidget;

class QtMessageBoxes : public MessageBoxes
{
public:
    void setParentWidget(QWidget *parent) override;
    Answer show(const Message &message) override;

private:
    QWidget *m_parent = nullptr;
};
