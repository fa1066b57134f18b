#include "settings/leadingnumber.h"

#include <cmath>
#include <limits>

double leadingNumber(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto isDigit = [&](qsizetype at) { return at < n && text[at] >= u'0' && text[at] <= u'9'; };

    while (i < n && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\r' || text[i] == u'\n'))
        ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    const qsizetype digitsStart = i;
    while (isDigit(i))
        ++i;
    bool anyDigits = i > digitsStart;
    if (i < n && text[i] == u'.') {
        const qsizetype fractionStart = ++i;
        while (isDigit(i))
            ++i;
        anyDigits = anyDigits || i > fractionStart;
    }
    if (!anyDigits)
        return 0;
    // An exponent counts only when digits follow it, so "12E" still reads as 12.
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype e = i + 1;
        if (e < n && (text[e] == u'+' || text[e] == u'-'))
            ++e;
        if (isDigit(e)) {
            while (isDigit(e))
                ++e;
            i = e;
        }
    }
    bool ok = false;
    const double value = text.mid(start, i - start).toDouble(&ok);
    // An overflowing number reads as an infinity, which leadingInt32 clamps.
    return ok || std::isinf(value) ? value : 0;
}

qint32 leadingInt32(QStringView text)
{
    const double value = std::trunc(leadingNumber(text));
    if (std::isnan(value))
        return 0;
    if (value >= double(std::numeric_limits<qint32>::max()))
        return std::numeric_limits<qint32>::max();
    if (value <= double(std::numeric_limits<qint32>::min()))
        return std::numeric_limits<qint32>::min();
    return qint32(value);
}
