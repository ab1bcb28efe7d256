// RecordingTime::parse against a reference of the recording time's grammar written here
// without regular expressions or floating point:
//     blanks [+|-] (digits [("."|",") digits] | ("."|",") digit digits) blanks
// with blanks being Unicode white space and digits 0-9, the value rounded to the nearest
// second, halves to the even one, and accepted when it lies in 1 … RecordingTime::Longest.
#include "FuzzSupport.h"

#include "recording/RecordingTime.h"

#include <algorithm>
#include <optional>

namespace {

bool isBlank(QChar c)
{
    switch (c.category()) {
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return c == u' ' || (c >= u'\t' && c <= u'\r') || c == u'\x85';
    }
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

std::optional<qint32> reference(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;

    qsizetype at = begin;
    bool negative = false;
    if (at < end && (text[at] == u'+' || text[at] == u'-'))
        negative = text[at++] == u'-';

    // Beyond Longest the exact value no longer matters: it is held at Longest + 1.
    const qint64 tooLong = qint64(RecordingTime::Longest) + 1;
    qint64 whole = 0;
    const qsizetype wholeStart = at;
    for (; at < end && isDigit(text[at]); ++at)
        whole = std::min(whole * 10 + (text[at].unicode() - u'0'), tooLong);
    const bool hasWholeDigits = at > wholeStart;

    QString fraction;
    if (at < end && (text[at] == u'.' || text[at] == u','))
        for (++at; at < end && isDigit(text[at]); ++at)
            fraction += text[at];

    if (at != end || (!hasWholeDigits && fraction.isEmpty()))
        return std::nullopt;

    const bool aboveHalf = !fraction.isEmpty()
        && (fraction[0] > u'5'
            || (fraction[0] == u'5' && std::any_of(fraction.begin() + 1, fraction.end(), [](QChar c) { return c != u'0'; })));
    const bool half = !fraction.isEmpty() && fraction[0] == u'5' && !aboveHalf;
    const qint64 seconds = aboveHalf || (half && whole % 2 == 1) ? whole + 1 : whole;
    if (negative || seconds < 1 || seconds > RecordingTime::Longest)
        return std::nullopt;
    return qint32(seconds);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    for (const QString &text : asTexts(data, size)) {
        QString message;
        const std::optional<qint32> seconds = RecordingTime::parse(text, &message);
        check(seconds == reference(text), "accepts exactly the grammar's numbers in 1 … Longest, rounded");
        check(seconds || !message.isEmpty(), "every refusal has a message");
    }
    return 0;
}
