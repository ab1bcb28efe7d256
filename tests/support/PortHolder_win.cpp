#include "PortHolder.h"

#include <windows.h>

namespace {

HANDLE openPort(const QString &port)
{
    const std::wstring name = (QStringLiteral("\\\\.\\") + port).toStdWString();
    return CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

} // namespace

PortHolder::PortHolder(const QString &port)
    : m_port(port)
{
    const HANDLE handle = openPort(port);
    if (handle != INVALID_HANDLE_VALUE)
        m_handle = reinterpret_cast<qintptr>(handle);
}

PortHolder::~PortHolder()
{
    if (m_handle != -1)
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

bool PortHolder::holds() const
{
    return m_handle != -1;
}

bool PortHolder::keepsOthersOut() const
{
    const HANDLE other = openPort(m_port);
    if (other == INVALID_HANDLE_VALUE)
        return true;
    CloseHandle(other);
    return false;
}
