#include "AwkwardName.h"

QString AwkwardName::stem()
{
    return QStringLiteral("канал \"3\" \\ 1");
}
