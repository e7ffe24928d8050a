#include "GridSearch.h"

#include "FieldText.h"
#include "LocaleValues.h"
#include "Query.h"

#include <QDateTime>
#include <algorithm>

namespace velmora {

namespace {

// The field behind a grid column, -1 when the result set has none.
int fieldOf(const GridColumns& columns, int column, const Query& query)
{
    if (column < 0 || size_t(column) >= columns.size())
        return -1;
    return query.fieldIndex(columns[size_t(column)].fieldName);
}

int visibleRows(const Query& query)
{
    return query.isActive() ? query.recordCount() : 0;
}

// The first row from `from` on, stepping by `delta`, whose cell begins with the candidate.
int firstRowBeginningWith(const QString& candidate, int from, int delta, const GridColumns& columns,
                          int column, const Query& query, const QLocale& locale)
{
    for (int row = from; row >= 0 && row < visibleRows(query); row += delta) {
        if (beginsWithIgnoringCase(cellDisplayText(columns, column, query, row, locale), candidate,
                                   locale))
            return row;
    }
    return -1;
}

} // namespace

QString cellDisplayText(const GridColumns& columns, int column, const Query& query, int row,
                        const QLocale& locale)
{
    const int field = fieldOf(columns, column, query);
    if (field < 0)
        return {};
    return fieldDisplayText(query.valueAt(row, field), query.fields()[size_t(field)].kind, locale);
}

QString cellValueText(const GridColumns& columns, int column, const Query& query, int row,
                      const QLocale& locale)
{
    const int field = fieldOf(columns, column, query);
    if (field < 0)
        return {};
    const QVariant value = query.valueAt(row, field);
    const FieldKind kind = query.fields()[size_t(field)].kind;
    if (value.isValid() && kind == FieldKind::DateTime)
        return dateTimeText(value.toDateTime(), locale);
    if (value.isValid() && kind == FieldKind::BCD)
        return value.toString();
    return fieldDisplayText(value, kind, locale);
}

bool beginsWithIgnoringCase(const QString& text, const QString& candidate, const QLocale& locale)
{
    return locale.toUpper(text.left(candidate.size())) == locale.toUpper(candidate);
}

std::optional<int> IncrementalSearch::step(const QString& typed, IncSearchDirection direction,
                                           int timeout, const GridColumns& columns, int column,
                                           const Query& query, const QLocale& locale)
{
    if (!query.isActive())
        return std::nullopt;
    const QString candidate = m_text + typed;
    std::optional<int> found;
    if (!candidate.isEmpty()) {
        const int current = query.recNo();
        int row = -1;
        switch (direction) {
        case IncSearchDirection::Here: {
            const bool currentBegins
                = current >= 0
                  && beginsWithIgnoringCase(cellDisplayText(columns, column, query, current, locale),
                                            candidate, locale);
            row = currentBegins ? current
                                : firstRowBeginningWith(candidate, 0, 1, columns, column, query, locale);
            break;
        }
        case IncSearchDirection::Next:
            row = firstRowBeginningWith(candidate, current + 1, 1, columns, column, query, locale);
            break;
        case IncSearchDirection::Previous:
            row = firstRowBeginningWith(candidate, current - 1, -1, columns, column, query, locale);
            break;
        }
        if (row >= 0) {
            found = row;
            m_text = candidate;   // a character that matches nothing is dropped
        }
    }
    m_searching = true;
    m_timeout = timeout;
    return found;
}

std::optional<int> IncrementalSearch::typeCharacter(QChar typed, const GridColumns& columns,
                                                    int column, const Query& query,
                                                    const QLocale& locale)
{
    return step(QString(typed), IncSearchDirection::Here, m_searching ? m_timeout : typingTimeout,
                columns, column, query, locale);
}

void IncrementalSearch::startEmpty()
{
    m_searching = true;
    m_text.clear();
    m_timeout = -1;
}

void IncrementalSearch::removeLastCharacter()
{
    if (m_text.isEmpty())
        return;
    const bool pair = m_text.size() >= 2 && m_text.back().isLowSurrogate()
                      && m_text[m_text.size() - 2].isHighSurrogate();
    m_text.chop(pair ? 2 : 1);
}

void IncrementalSearch::end()
{
    m_searching = false;
    m_text.clear();
}

bool findMatches(const QString& cellText, const FindOptions& options, const QLocale& locale)
{
    const QString text = options.caseSensitive ? cellText : locale.toUpper(cellText);
    const QString pattern = options.caseSensitive ? options.pattern : locale.toUpper(options.pattern);
    switch (options.matchType) {
    case FindMatchType::AnyPart:
        return text.contains(pattern);
    case FindMatchType::WholeField:
        return text == pattern;
    case FindMatchType::Beginning:
        return text.startsWith(pattern);
    }
    return false;
}

void FindSearch::setSearchColumns(std::vector<int> columns, FindDirection direction)
{
    m_columns = std::move(columns);
    restart(direction);
}

void FindSearch::restart(FindDirection direction)
{
    m_firstTry = true;
    m_position = direction == FindDirection::Up ? std::max(0, int(m_columns.size()) - 1) : 0;
}

std::optional<FindMatch> FindSearch::step(const FindOptions& options, bool reversed,
                                          const GridColumns& columns, const Query& query,
                                          const QLocale& locale)
{
    const int rows = visibleRows(query);
    const int last = int(m_columns.size()) - 1;
    if (last < 0 || rows == 0)
        return std::nullopt;
    const bool backward = (options.direction == FindDirection::Up) != reversed;
    m_position = std::clamp(m_position, 0, last);
    int row = std::max(0, query.recNo());
    // The scan runs over row indices, so a cursor left at its end-of-data or beginning-of-data
    // state by earlier moves does not keep the current row from being examined.
    if (options.direction == FindDirection::All && m_firstTry) {
        // Reversed, All starts at the last row: from the first row backward nothing would
        // ever be examined.
        row = backward ? rows - 1 : 0;
        if (backward)
            m_position = last;
    }
    const auto advance = [&] {
        if (!backward && m_position < last) {
            ++m_position;
        } else if (!backward) {
            m_position = 0;
            ++row;
        } else if (m_position > 0) {
            --m_position;
        } else {
            m_position = last;
            --row;
        }
    };
    if (!m_firstTry)
        advance();
    for (; row >= 0 && row < rows; advance()) {
        const int column = m_columns[size_t(m_position)];
        const QString text = options.useFormat ? cellDisplayText(columns, column, query, row, locale)
                                               : cellValueText(columns, column, query, row, locale);
        if (findMatches(text, options, locale)) {
            m_firstTry = false;
            return FindMatch{row, column, !options.caseSensitive};
        }
    }
    return std::nullopt;
}

} // namespace velmora
