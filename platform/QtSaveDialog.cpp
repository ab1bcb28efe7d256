#include "platform/QtSaveDialog.h"

#include <QFileDialog>

void QtSaveDialog::setParentWidget(QWidget *parent)
{
    m_parent = parent;
}

void QtSaveDialog::setTitle(const QString &title)
{
    m_title = title;
}

void QtSaveDialog::setFilter(const QString &filterName, const QString &pattern)
{
    m_filter = QStringLiteral("%1 (%2)").arg(filterName, pattern);
}

void QtSaveDialog::showSave()
{
    // QFileDialog asks before overwriting by default and never changes the
    // process's current directory. A cancelled dialog keeps the last choice.
    const QString chosen = QFileDialog::getSaveFileName(m_parent, m_title, m_fileName, m_filter);
    if (!chosen.isEmpty())
        m_fileName = chosen;
}

QString QtSaveDialog::fileName() const
{
    return m_fileName;
}
