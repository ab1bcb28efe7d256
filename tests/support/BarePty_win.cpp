#include "BarePty.h"

#include "WindowsSuite.h"

#include <QByteArray>

// Windows has no pseudo-terminals: the suite's COM ports are Wine's, wired by its test bed.
BarePty::BarePty()
{
    linuxOnlyStep("BarePty");
}

BarePty::~BarePty() = default;

QString BarePty::device() const
{
    return m_device;
}

int BarePty::master() const
{
    return m_master;
}

QByteArray BarePty::takeSent()
{
    return {};
}

bool BarePty::sendToHost(const QByteArray &)
{
    return false;
}

void BarePty::stopTakingCommands() {}

QByteArray BarePty::sentUntilTakenIn(const QByteArray &)
{
    return {};
}
