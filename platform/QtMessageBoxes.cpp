#include "platform/QtMessageBoxes.h"

#include <QMessageBox>

void QtMessageBoxes::setParentWidget(QWidget *parent)
{
    m_parent = parent;
}

MessageBoxes::Answer QtMessageBoxes::show(const Message &message)
{
    QMessageBox box(message.icon == Icon::Error ? QMessageBox::Critical : QMessageBox::Warning,
                    message.title, message.text, QMessageBox::NoButton, m_parent);
    // Texts name files and devices, which may hold anything, "<b>" included.
    box.setTextFormat(Qt::PlainText);
    if (message.buttons == Buttons::Ok) {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        box.exec();
        return Answer::Ok;
    }
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    // Esc and the window's close button answer No.
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}
