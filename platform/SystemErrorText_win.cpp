#include "platform/SystemErrorText.h"

#include <windows.h>

QString SystemErrorText::forSystemError(int error)
{
    const Meaning meaning = ofWindowsError(quint32(error));
    if (meaning != Meaning::Other)
        return wording(meaning);
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, DWORD(error), 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    const QString systemText = length > 0 ? QString::fromWCharArray(text, int(length)).trimmed() : QString();
    LocalFree(text);
    return QStringLiteral("системная ошибка Windows %1 (%2)").arg(QString::number(error), systemText);
}
