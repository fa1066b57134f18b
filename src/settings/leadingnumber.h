#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

// Lenient reading of numbers kept as text (saved settings, SQL column values, node tags): the
// number at the start of the text is taken, after leading blanks, with an optional sign, decimals
// and exponent; whatever follows is ignored, and text that does not start with a number counts as 0.
// So "11.0.2100.60" reads as 11 and "12abc" as 12.
double leadingNumber(QStringView text);

// The same reading as a 32-bit integer (document numbers, "#0" values): the fraction is dropped and
// a value outside the 32-bit range is clamped to it rather than overflowing.
qint32 leadingInt32(QStringView text);
