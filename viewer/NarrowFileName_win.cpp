#include "viewer/NarrowFileName.h"

#include "platform/WindowsFileName.h"

#include <QDir>

#include <windows.h>

namespace {

// The path in the ANSI code page, or nothing where a character has no spelling there.
QByteArray inCodePage(const std::wstring &path)
{
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), int(path.size()), nullptr, 0,
                                           nullptr, nullptr);
    QByteArray name(length, '\0');
    BOOL replaced = FALSE;
    if (length == 0
        || WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), int(path.size()), name.data(), length,
                               nullptr, &replaced)
            != length
        || replaced)
        return {};
    return name;
}

bool fits(const QByteArray &name)
{
    return !name.isEmpty() && name.size() < MAX_PATH;
}

} // namespace

bool NarrowFileName::of(const QString &path, QByteArray *name, QString *reason)
{
    *name = inCodePage(QDir::toNativeSeparators(QDir::cleanPath(path)).toStdWString());
    if (fits(*name))
        return true;
    // The short name (8.3) of each part of the path, where the disk keeps them.
    const std::wstring longName = WindowsFileName::of(path);
    std::wstring shortName(32768, L'\0');
    const DWORD length = GetShortPathNameW(longName.c_str(), shortName.data(), DWORD(shortName.size()));
    if (length > 0 && length < shortName.size()) {
        shortName.resize(length);
        // The ANSI calls take no "\\?\" form.
        if (shortName.compare(0, 8, L"\\\\?\\UNC\\") == 0)
            shortName.replace(0, 8, L"\\\\");
        else if (shortName.compare(0, 4, L"\\\\?\\") == 0)
            shortName.erase(0, 4);
        *name = inCodePage(shortName);
        if (fits(*name))
            return true;
    }
    *reason = QStringLiteral("путь к файлу длиннее 260 знаков или содержит буквы, которых нет в кодовой странице "
                             "Windows, а библиотека EDFlib открывает файлы только по таким путям; выберите "
                             "папку с путём покороче");
    return false;
}
