#pragma once

#include "viewerwindow/FileChoice.h"

class QtFileChoice : public FileChoice
{
public:
    void setParentWidget(QWidget *parent) override;
    QString fileToOpen(const QString &title, const QString &filters) override;
    QString fileToSave(const QString &title, const QString &filters, const QString &suggestedPath) override;

private:
    QWidget *m_parent = nullptr;
    QString m_lastFolder;
};
