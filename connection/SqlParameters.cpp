#include "SqlParameters.h"

#include "DbError.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>

namespace velmora {

namespace {

bool isNameStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

struct Marker {
    qsizetype start;   // at the ':'
    qsizetype length;  // ':' and the name
};

// Walks the batch as the server's lexer would, so that ':' inside '...', "...", [...], -- and
// /* */ (nested, as T-SQL allows) is never taken for a marker.
std::vector<Marker> findMarkers(const QString& s)
{
    std::vector<Marker> markers;
    const qsizetype n = s.size();
    auto skipQuoted = [&](qsizetype i, QChar close) {
        for (++i; i < n; ++i) {
            if (s[i] != close)
                continue;
            if (i + 1 < n && s[i + 1] == close) {
                ++i;
                continue;
            }
            return i + 1;
        }
        return n;
    };
    qsizetype i = 0;
    while (i < n) {
        const QChar c = s[i];
        if (c == u'\'')
            i = skipQuoted(i, u'\'');
        else if (c == u'"')
            i = skipQuoted(i, u'"');
        else if (c == u'[')
            i = skipQuoted(i, u']');
        else if (c == u'-' && i + 1 < n && s[i + 1] == u'-') {
            const qsizetype end = s.indexOf(u'\n', i);
            i = end < 0 ? n : end + 1;
        } else if (c == u'/' && i + 1 < n && s[i + 1] == u'*') {
            int depth = 0;
            do {
                if (s[i] == u'/' && i + 1 < n && s[i + 1] == u'*') {
                    ++depth;
                    i += 2;
                } else if (s[i] == u'*' && i + 1 < n && s[i + 1] == u'/') {
                    --depth;
                    i += 2;
                } else {
                    ++i;
                }
            } while (depth > 0 && i < n);
        } else if (c == u':' && i + 1 < n && s[i + 1] == u':') {
            i += 2;
        } else if (c == u':' && i + 1 < n && isNameStart(s[i + 1])) {
            qsizetype end = i + 2;
            while (end < n && isNameChar(s[end]))
                ++end;
            markers.push_back({i, end - i});
            i = end;
        } else {
            ++i;
        }
    }
    return markers;
}

QString quotedText(const QString& text)
{
    QString escaped = text;
    escaped.replace(u'\'', QStringLiteral("''"));
    return QStringLiteral("N'") + escaped + u'\'';
}

} // namespace

QString sqlLiteral(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QStringLiteral("NULL");
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Short:
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return QString::number(value.toLongLong());
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return QString::number(value.toULongLong());
    case QMetaType::Float:
    case QMetaType::Double: {
        const double number = value.toDouble();
        if (!std::isfinite(number))
            throw DbError(DbError::Cause::Usage, QStringLiteral("A parameter value is not a finite number."));
        // The shortest text that reads back as the same double; never locale-dependent.
        return QString::number(number, 'g', QLocale::FloatingPointShortest);
    }
    case QMetaType::QByteArray:
        return QStringLiteral("0x") + QString::fromLatin1(value.toByteArray().toHex());
    case QMetaType::QDate:
        return u'\'' + value.toDate().toString(QStringLiteral("yyyyMMdd")) + u'\'';
    case QMetaType::QDateTime:
        // The unseparated form is read the same under every SET DATEFORMAT and language.
        return u'\'' + value.toDateTime().toString(QStringLiteral("yyyyMMdd HH:mm:ss.zzz")) + u'\'';
    case QMetaType::QString:
    case QMetaType::QChar:
        return quotedText(value.toString());
    default:
        throw DbError(DbError::Cause::Usage,
                      QStringLiteral("A parameter of type %1 cannot be sent.").arg(QString::fromLatin1(value.typeName())));
    }
}

QString bindParameters(const QString& batch, const std::vector<QVariant>& values)
{
    const std::vector<Marker> markers = findMarkers(batch);
    if (markers.size() > values.size())
        throw DbError(DbError::Cause::Usage,
                      QStringLiteral("No value for the parameter %1.")
                          .arg(batch.mid(markers[values.size()].start, markers[values.size()].length)));
    QString bound;
    qsizetype copied = 0;
    for (size_t i = 0; i < markers.size(); ++i) {
        bound += QStringView(batch).mid(copied, markers[i].start - copied);
        bound += sqlLiteral(values[i]);
        copied = markers[i].start + markers[i].length;
    }
    bound += QStringView(batch).mid(copied);
    return bound;
}

} // namespace velmora
