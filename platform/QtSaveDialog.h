#pragma once

#include "platform/SaveDialog.h"

class QWidget;

class QtSaveDialog : public SaveDialog
{
public:
    void setParentWidget(QWidget *parent) override;
    void setTitle(const QString &title) override;
    void setFilter(const QString &filterName, const QString &pattern) override;
    void showSave() override;
    QString fileName() const override;

private:
    QWidget *m_parent = nullptr;
    QString m_title;
    QString m_filter;
    QString m_fileName;
};
