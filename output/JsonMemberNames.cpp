#include "output/JsonMemberNames.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QStringList>

namespace {

// A name's quoted text, escapes and all, read as JSON itself reads it.
QString unquoted(const QByteArray &quoted)
{
    return QJsonDocument::fromJson('[' + quoted + ']').array().first().toString();
}

// The names in the order written, a name written twice listed twice.
QStringList memberNames(const QByteArray &objectText)
{
    QStringList names;
    int depth = 0;
    bool nameNext = false;
    for (qsizetype i = 0; i < objectText.size(); ++i) {
        switch (objectText[i]) {
        case '{':
        case '[':
            ++depth;
            nameNext = depth == 1;
            break;
        case '}':
        case ']':
            --depth;
            break;
        case ',':
            nameNext = depth == 1;
            break;
        case '"': {
            const qsizetype start = i;
            for (++i; i < objectText.size() && objectText[i] != '"'; ++i) {
                if (objectText[i] == '\\')
                    ++i;
            }
            if (nameNext)
                names << unquoted(objectText.mid(start, i + 1 - start));
            nameNext = false;
            break;
        }
        default:
            break;
        }
    }
    return names;
}

} // namespace

QString JsonMemberNames::firstRepeated(const QByteArray &objectText)
{
    QSet<QString> seen;
    for (const QString &name : memberNames(objectText)) {
        if (seen.contains(name))
            return name;
        seen.insert(name);
    }
    return QString();
}
