#include "PortHolder.h"

#include <windows.h>

PortHolder::PortHolder(const QString &port)
{
    const std::wstring name = (QStringLiteral("\\\\.\\") + port).toStdWString();
    const HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
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
