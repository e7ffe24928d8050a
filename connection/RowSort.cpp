#include "RowSort.h"

#include "DbError.h"
#include "ValueCompare.h"

#include <QCollatorSortKey>
#include <QHash>
#include <algorithm>
#include <array>
#include <bit>
#include <numeric>
#include <utility>

namespace velmora {

namespace {

constexpr quint64 signBit = quint64(1) << 63;

quint64 orderedBits(double number)
{
    const quint64 bits = std::bit_cast<quint64>(number == 0.0 ? 0.0 : number);   // -0 as 0
    return (bits & signBit) ? ~bits : (bits | signBit);
}

// The distinct values of a key column and, for every row, which of them it holds.
template <typename Value>
class Distinct {
public:
    Distinct(const std::vector<Value>& items, const std::vector<unsigned char>& missing)
        : m_idOf(items.size(), noValue)
    {
        QHash<Value, quint32> ids;
        for (size_t i = 0; i < items.size(); ++i) {
            if (missing[i])
                continue;
            auto found = ids.constFind(items[i]);
            if (found == ids.cend()) {
                found = ids.insert(items[i], quint32(m_values.size()));
                m_values.push_back(items[i]);
            }
            m_idOf[i] = *found;
        }
    }

    const std::vector<Value>& values() const { return m_values; }

    // Writes each row's dense rank (from 1) of its value in `less` order into `words`, where
    // `comparable` holds what to compare for each distinct value; values neither less than the
    // other share a rank. Rows without a value are left alone.
    template <typename Comparable, typename Less>
    void rank(const std::vector<Comparable>& comparable, Less less, std::vector<quint64>& words) const
    {
        std::vector<quint32> order(comparable.size());
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(),
                  [&](quint32 a, quint32 b) { return less(comparable[a], comparable[b]); });
        std::vector<quint64> rankOf(comparable.size());
        quint64 rank = 0;
        for (size_t i = 0; i < order.size(); ++i) {
            if (i == 0 || less(comparable[order[i - 1]], comparable[order[i]]))
                ++rank;
            rankOf[order[i]] = rank;
        }
        for (size_t i = 0; i < words.size(); ++i) {
            if (m_idOf[i] != noValue)
                words[i] = rankOf[m_idOf[i]];
        }
    }

private:
    static constexpr quint32 noValue = ~quint32(0);

    std::vector<Value> m_values;
    std::vector<quint32> m_idOf;
};

// One key read from the rows: a word per row whose plain order is the key's ascending order.
// Integers and date-times have their sign bit flipped, floating-point numbers are mapped to an
// ordered bit pattern, texts and byte strings take the rank of their value among the distinct
// values present.
class KeyWords {
public:
    KeyWords(const RowSort::Key& key, FieldKind kind, size_t count)
        : m_field(size_t(key.field)), m_kind(kind), m_descending(key.descending),
          m_words(count, 0), m_missing(count, 0)
    {
        if (isTextKind(kind))
            m_texts.resize(count);
        else if (isByteKind(kind))
            m_bytes.resize(count);
    }

    void read(size_t index, const Row& row)
    {
        const QVariant& value = row[m_field];
        if (isMissing(value)) {
            m_missing[index] = 1;
            m_anyMissing = true;
        } else if (isTextKind(m_kind)) {
            m_texts[index] = value.toString();
        } else if (isByteKind(m_kind)) {
            m_bytes[index] = value.toByteArray();
        } else if (m_kind == FieldKind::DateTime) {
            m_words[index] = quint64(wallClockMsecs(value.toDateTime())) ^ signBit;
        } else if (isIntegerKind(m_kind)) {
            m_words[index] = quint64(heldInteger(value)) ^ signBit;
        } else {
            m_words[index] = orderedBits(value.toDouble());
        }
    }

    // Called once every row has been read.
    void finish()
    {
        if (isTextKind(m_kind))
            rankTexts();
        else if (isByteKind(m_kind))
            rankBytes();
    }

    // Rows without a value sort before every value, so after them when the key is descending:
    // a key with missing values takes a leading word, 0 when missing and 1 otherwise.
    size_t width() const { return m_anyMissing ? 2 : 1; }

    void pack(std::vector<quint64>& packed, size_t stride, size_t offset) const
    {
        const quint64 flip = m_descending ? ~quint64(0) : 0;
        for (size_t i = 0; i < m_words.size(); ++i) {
            quint64* slot = &packed[i * stride + offset];
            if (m_anyMissing)
                *slot++ = (m_missing[i] ? 0 : 1) ^ flip;
            *slot = m_words[i] ^ flip;
        }
    }

private:
    // Held rows repeat their texts (logins, hosts, states), so collation keys are computed once
    // per distinct text rather than once per row.
    void rankTexts()
    {
        std::vector<QStringView> views(m_texts.size());
        for (size_t i = 0; i < m_texts.size(); ++i)
            views[i] = comparableText(m_texts[i], m_kind);
        if (digitWords(views))
            return;
        const Distinct<QStringView> distinct(views, m_missing);
        const QCollator collator = textCollator();
        std::vector<QCollatorSortKey> sortKeys;
        sortKeys.reserve(distinct.values().size());
        for (QStringView text : distinct.values())
            sortKeys.push_back(collator.sortKey(text.toString()));
        distinct.rank(sortKeys,
                      [](const QCollatorSortKey& a, const QCollatorSortKey& b) { return a.compare(b) < 0; },
                      m_words);
    }

    // Texts of ASCII digits alone (numbers written as text) collate digit by digit, a prefix
    // first: in that order, a text of up to 18 digits reads as a number in base 11 whose figures
    // are its digits plus one, padded with zeros to 18 figures, and that number is its word.
    // False, and nothing written, when some text is not of that form.
    bool digitWords(const std::vector<QStringView>& views)
    {
        constexpr qsizetype maxDigits = 18;   // 11^18 < 2^63
        std::vector<quint64> words(views.size(), 0);
        for (size_t i = 0; i < views.size(); ++i) {
            if (m_missing[i])
                continue;
            if (views[i].size() > maxDigits)
                return false;
            quint64 word = 0;
            for (QChar c : views[i]) {
                if (c < u'0' || c > u'9')
                    return false;
                word = word * 11 + (c.unicode() - u'0' + 1);
            }
            for (qsizetype pad = views[i].size(); pad < maxDigits; ++pad)
                word *= 11;
            words[i] = word;
        }
        for (size_t i = 0; i < views.size(); ++i)
            if (!m_missing[i])
                m_words[i] = words[i];
        return true;
    }

    void rankBytes()
    {
        const Distinct<QByteArray> distinct(m_bytes, m_missing);
        distinct.rank(distinct.values(), std::less<QByteArray>(), m_words);
    }

    size_t m_field;
    FieldKind m_kind;
    bool m_descending;
    bool m_anyMissing = false;
    std::vector<quint64> m_words;
    std::vector<unsigned char> m_missing;
    std::vector<QString> m_texts;      // text keys: the values, kept alive for their views
    std::vector<QByteArray> m_bytes;   // byte-string keys
};

// Every key's words packed row by row, so the sort compares machine words only.
class PackedKeys {
public:
    PackedKeys(const std::vector<RowSort::Key>& keys, const std::vector<int>& view,
               const std::vector<Row>& rows, const std::vector<FieldDef>& fields)
    {
        std::vector<KeyWords> columns;
        std::vector<int> fieldsRead;
        columns.reserve(keys.size());
        for (const RowSort::Key& key : keys) {
            columns.emplace_back(key, fields[size_t(key.field)].kind, view.size());
            fieldsRead.push_back(key.field);
        }
        // One pass over the rows for all keys: the rows are scattered on the heap, and reading
        // them is most of the cost.
        for (size_t i = 0; i < view.size(); ++i) {
            if (i + rowPrefetchDistance < view.size())
                prefetchValues(rows[size_t(view[i + rowPrefetchDistance])], fieldsRead);
            const Row& row = rows[size_t(view[i])];
            for (KeyWords& column : columns)
                column.read(i, row);
        }
        for (KeyWords& column : columns) {
            column.finish();
            m_width += column.width();
        }
        m_packed.resize(view.size() * m_width);
        size_t offset = 0;
        for (const KeyWords& column : columns) {
            column.pack(m_packed, m_width, offset);
            offset += column.width();
        }
    }

    // Positions 0..n-1 of the rows read, in stable key order: a least-significant-digit radix
    // sort over the packed words, a byte at a time from the last word's lowest byte to the first
    // word's highest. Each pass is stable, and a byte that every row shares needs no pass, so
    // small numbers and ranks take two or three passes a key.
    std::vector<int> stableOrder() const
    {
        const size_t count = m_width ? m_packed.size() / m_width : 0;
        std::vector<int> order(count);
        std::iota(order.begin(), order.end(), 0);
        std::vector<int> moved(count);
        for (size_t word = m_width; word-- > 0;) {
            std::array<std::array<size_t, 256>, 8> counts{};
            for (size_t i = 0; i < count; ++i) {
                const quint64 value = m_packed[i * m_width + word];
                for (size_t byte = 0; byte < 8; ++byte)
                    ++counts[byte][(value >> (8 * byte)) & 0xff];
            }
            for (size_t byte = 0; byte < 8; ++byte) {
                std::array<size_t, 256>& buckets = counts[byte];
                if (std::find(buckets.begin(), buckets.end(), count) != buckets.end())
                    continue;
                size_t next = 0;
                for (size_t& bucket : buckets)
                    next += std::exchange(bucket, next);
                for (int position : order) {
                    const quint64 value = m_packed[size_t(position) * m_width + word];
                    moved[buckets[(value >> (8 * byte)) & 0xff]++] = position;
                }
                order.swap(moved);
            }
        }
        return order;
    }

private:
    size_t m_width = 0;
    std::vector<quint64> m_packed;
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

    const std::vector<int> order = PackedKeys(m_keys, view, rows, fields).stableOrder();
    std::vector<int> sorted(view.size());
    for (size_t i = 0; i < order.size(); ++i)
        sorted[i] = view[size_t(order[i])];
    view = std::move(sorted);
}

} // namespace velmora
