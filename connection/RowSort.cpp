#include "RowSort.h"

#include "DbError.h"
#include "ValueCompare.h"

#include <QCollatorSortKey>
#include <algorithm>
#include <numeric>

namespace velmora {

namespace {

// One key column extracted from the rows being sorted, indexed by position in the view.
// Rows without a value sort before every value, so after them when the key is descending.
class KeyColumn {
public:
    KeyColumn(const RowSort::Key& key, const std::vector<int>& view, const std::vector<Row>& rows,
              FieldKind kind, const QCollator& collator)
        : m_descending(key.descending)
    {
        if (isTextKind(kind))
            m_type = Type::Text;
        else if (isIntegerKind(kind) || kind == FieldKind::DateTime)
            m_type = Type::Integer;
        else if (isByteKind(kind))
            m_type = Type::Bytes;
        else
            m_type = Type::Real;

        const size_t count = view.size();
        reserve(count);
        for (size_t i = 0; i < count; ++i) {
            const QVariant& value = rows[size_t(view[i])][size_t(key.field)];
            if (value.isNull())
                markMissing(i, count);
            append(value, kind, collator);
        }
    }

    int compare(int a, int b) const
    {
        const int result = compareAscending(size_t(a), size_t(b));
        return m_descending ? -result : result;
    }

private:
    enum class Type { Integer, Real, Text, Bytes };

    void reserve(size_t count)
    {
        switch (m_type) {
        case Type::Integer: m_integers.reserve(count); break;
        case Type::Real: m_reals.reserve(count); break;
        case Type::Text: m_texts.reserve(count); break;
        case Type::Bytes: m_bytes.reserve(count); break;
        }
    }

    void markMissing(size_t index, size_t count)
    {
        if (m_missing.empty())
            m_missing.assign(count, 0);
        m_missing[index] = 1;
    }

    // A missing value is stored as the type's empty value so that positions stay aligned.
    void append(const QVariant& value, FieldKind kind, const QCollator& collator)
    {
        switch (m_type) {
        case Type::Integer:
            m_integers.push_back(kind == FieldKind::DateTime ? wallClockMsecs(value.toDateTime())
                                                             : value.toLongLong());
            break;
        case Type::Real:
            m_reals.push_back(value.toDouble());
            break;
        case Type::Text:
            m_texts.push_back(collator.sortKey(comparableText(value.toString(), kind).toString()));
            break;
        case Type::Bytes:
            m_bytes.push_back(value.toByteArray());
            break;
        }
    }

    int compareAscending(size_t a, size_t b) const
    {
        if (!m_missing.empty() && (m_missing[a] || m_missing[b]))
            return int(m_missing[b]) - int(m_missing[a]);
        switch (m_type) {
        case Type::Integer: return (m_integers[a] > m_integers[b]) - (m_integers[a] < m_integers[b]);
        case Type::Real: return (m_reals[a] > m_reals[b]) - (m_reals[a] < m_reals[b]);
        case Type::Text: return m_texts[a].compare(m_texts[b]);
        case Type::Bytes: return m_bytes[a].compare(m_bytes[b]);
        }
        return 0;
    }

    Type m_type = Type::Integer;
    bool m_descending;
    std::vector<unsigned char> m_missing;   // empty when every row has a value
    std::vector<qint64> m_integers;
    std::vector<double> m_reals;
    std::vector<QCollatorSortKey> m_texts;
    std::vector<QByteArray> m_bytes;
};

} // namespace

RowSort RowSort::parse(const QString& text, const std::vector<FieldDef>& fields)
{
    RowSort sort;
    if (text.trimmed().isEmpty())
        return sort;

    qsizetype pieceStart = 0;
    for (QStringView piece : QStringView(text).split(u',')) {
        const QStringView key = piece.trimmed();
        pieceStart += piece.size() + 1;   // now the 1-based position just past the piece
        if (key.isEmpty())
            throw DbError(DbError::Cause::Usage,
                          QStringLiteral("Sort string is incorrect: column name expected at position %1")
                              .arg(pieceStart));

        QStringView name = key;
        bool descending = false;
        qsizetype blank = key.size() - 1;
        while (blank > 0 && !key[blank].isSpace())
            --blank;
        if (blank > 0) {
            const QStringView word = key.sliced(blank + 1);
            descending = word.compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0;
            if (descending || word.compare(QLatin1String("ASC"), Qt::CaseInsensitive) == 0)
                name = key.first(blank).trimmed();
        }
        const int field = findFieldIndex(fields, name);
        if (field < 0)
            throw DbError(DbError::Cause::Usage,
                          QStringLiteral("Sort column '%1' not found").arg(name.toString()));
        sort.m_keys.push_back({field, descending});
    }
    return sort;
}

void RowSort::apply(std::vector<int>& view, const std::vector<Row>& rows,
                    const std::vector<FieldDef>& fields) const
{
    if (m_keys.empty() || view.size() < 2)
        return;

    const QCollator collator = textCollator();
    std::vector<KeyColumn> columns;
    columns.reserve(m_keys.size());
    for (const Key& key : m_keys)
        columns.emplace_back(key, view, rows, fields[size_t(key.field)].kind, collator);

    std::vector<int> order(view.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&columns](int a, int b) {
        for (const KeyColumn& column : columns) {
            if (const int result = column.compare(a, b))
                return result < 0;
        }
        return false;
    });

    std::vector<int> sorted(view.size());
    for (size_t i = 0; i < order.size(); ++i)
        sorted[i] = view[size_t(order[i])];
    view = std::move(sorted);
}

} // namespace velmora
