#include "ShownRunControls.h"

namespace {

// The status line's place in the program's window, in pixels.
constexpr QRect StatusLinePlace{32, 553, 729, 17};

} // namespace

ShownRunControls::ShownRunControls(QWidget *window)
    : m_statusLine(new StatusLine(window))
{
    m_statusLine->setGeometry(StatusLinePlace);
}

void ShownRunControls::showProgress(const RunProgress &progress)
{
    FakeRunControls::showProgress(progress);
    m_statusLine->showProgress(progress);
}
