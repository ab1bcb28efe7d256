#include "viewerwindow/QtFileChoice.h"

#include <QFileDialog>
#include <QFileInfo>

void QtFileChoice::setParentWidget(QWidget *parent)
{
    m_parent = parent;
}

// Each dialog starts in the folder of the file chosen last.
QString QtFileChoice::fileToOpen(const QString &title, const QString &filters)
{
    const QString chosen = QFileDialog::getOpenFileName(m_parent, title, m_lastFolder, filters);
    if (!chosen.isEmpty())
        m_lastFolder = QFileInfo(chosen).absolutePath();
    return chosen;
}

// QFileDialog asks before an existing file is replaced unless told otherwise.
QString QtFileChoice::fileToSave(const QString &title, const QString &filters, const QString &suggestedPath)
{
    const QString chosen = QFileDialog::getSaveFileName(m_parent, title, suggestedPath, filters);
    if (!chosen.isEmpty())
        m_lastFolder = QFileInfo(chosen).absolutePath();
    return chosen;
}
