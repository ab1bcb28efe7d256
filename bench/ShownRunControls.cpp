#include "ShownRunControls.h"

namespace {

// The window's status line, in pixels.
constexpr QSize StatusLineSize{729, 17};

} // namespace

ShownRunControls::ShownRunControls()
{
    m_statusLine.resize(StatusLineSize);
    m_statusLine.show();
}

void ShownRunControls::showProgress(const RunProgress &progress)
{
    FakeRunControls::showProgress(progress);
    m_statusLine.showProgress(progress);
}
