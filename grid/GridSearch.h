// The matching rules of the grid's two searches, without a widget: the incremental search
// ("begins with" on the current column, typed character by character) and the find dialog's
// cell-by-cell search over its search columns. Both read the result set's visible rows and
// the grid's column collection and say which row and cell to make current; moving the grid
// there is the caller's part.
#pragma once

#include "GridColumn.h"

#include <QLocale>
#include <QString>
#include <optional>
#include <vector>

namespace velmora {

class Query;

/// The text the grid shows in a cell: its field's display text in the visible row; empty when
/// the column has no result-set column.
QString cellDisplayText(const GridColumns& columns, int column, const Query& query, int row,
                        const QLocale& locale = QLocale());
/// The cell's raw value converted to text, without the grid's display formatting: numbers in
/// their shortest form, decimals as held, date-times as the date alone at midnight; empty when
/// the column has no result-set column.
QString cellValueText(const GridColumns& columns, int column, const Query& query, int row,
                      const QLocale& locale = QLocale());

/// What the find dialog and the incremental search need of the grid they search.
class SearchedGrid {
public:
    virtual ~SearchedGrid() = default;
    /// The grid's columns, in their order on screen.
    virtual const GridColumns& columns() const = 0;
    /// The result set the grid shows; null when none.
    virtual const Query* dataSource() const = 0;
    /// Index of the grid's current column.
    virtual int currentColumn() const = 0;
    /// Makes the visible row current and shows it; makes `column` the current column unless
    /// it is negative.
    virtual void moveToCell(int row, int column) = 0;
};

// ---- Incremental search ----

enum class IncSearchDirection { Here, Next, Previous };

/// Whether the first n characters of `text` equal `candidate` (n its length), both in the
/// locale's upper case.
bool beginsWithIgnoringCase(const QString& text, const QString& candidate,
                            const QLocale& locale = QLocale());

/// One grid's incremental search: searching or idle, the search text and the time-out.
class IncrementalSearch {
public:
    static constexpr int typingTimeout = 1500;   // ms after a character typed into an idle grid

    bool isSearching() const { return m_searching; }
    const QString& text() const { return m_text; }
    /// The time-out in ms after the last step; negative: the search never times out.
    int timeout() const { return m_timeout; }

    /// A search step with `typed` appended to the search text, over the cells of grid column
    /// `column`: `Here` keeps the current row when its cell begins with the candidate, else
    /// scans from the first row; `Next` and `Previous` scan from the row after or before the
    /// current one. Enters searching; the search text becomes the candidate when a row matched
    /// and is left as it was otherwise. Returns the visible row to make current; nothing when
    /// no row matched, the candidate is empty, or the result set is closed (then nothing
    /// changes at all).
    std::optional<int> step(const QString& typed, IncSearchDirection direction, int timeout,
                            const GridColumns& columns, int column, const Query& query,
                            const QLocale& locale = QLocale());
    /// A character typed into the grid: a step `Here`, with typingTimeout when idle and the
    /// running search's time-out otherwise.
    std::optional<int> typeCharacter(QChar typed, const GridColumns& columns, int column,
                                     const Query& query, const QLocale& locale = QLocale());
    /// Ctrl+F in an idle grid: an empty search that never times out.
    void startEmpty();
    /// Backspace while searching: the last character goes (a surrogate pair as one character);
    /// no new scan.
    void removeLastCharacter();
    /// Back to idle with an empty search text.
    void end();

private:
    bool m_searching = false;
    QString m_text;
    int m_timeout = -1;
};

// ---- Find dialog ----

enum class FindMatchType { AnyPart, WholeField, Beginning };   // by position in its combo box
enum class FindDirection { Up, Down, All };                    // by position in its combo box

struct FindOptions {
    QString pattern;
    FindMatchType matchType = FindMatchType::AnyPart;
    FindDirection direction = FindDirection::All;
    bool caseSensitive = false;   // "С учетом ре&гистра"
    bool useFormat = true;        // "С у&четом формата": the displayed text, else the raw value
};

/// Whether a cell's text matches the pattern by the match type; without case sensitivity both
/// texts are compared in the locale's upper case.
bool findMatches(const QString& cellText, const FindOptions& options,
                 const QLocale& locale = QLocale());

struct FindMatch {
    int row = -1;                    // the visible row to make current
    int column = -1;                 // the grid column of the matching cell
    bool makeColumnCurrent = false;  // only when case was ignored
};

/// The find dialog's search: its search columns, the column position among them and whether
/// the next step is a first try.
class FindSearch {
public:
    /// New search columns (grid column indices, in search order), then restart().
    void setSearchColumns(std::vector<int> columns, FindDirection direction);
    /// The dialog opened, or the pattern or the direction changed: a first try again, from the
    /// first search column (Down, All) or the last one (Up).
    void restart(FindDirection direction);

    const std::vector<int>& searchColumns() const { return m_columns; }
    int columnPosition() const { return m_position; }
    bool isFirstTry() const { return m_firstTry; }

    /// One search step from the query's current row and the column position: `reversed` (Ctrl
    /// held) turns the direction round; All on a first try starts at the first row (the last
    /// one when reversed); a later try first moves one cell on, so the last match is not found
    /// again. Cells are examined one by one across the search columns, row after row, to the
    /// end of the visible rows. A match ends the first try. Nothing when nothing matched or
    /// there are no search columns; the query's cursor is never moved.
    std::optional<FindMatch> step(const FindOptions& options, bool reversed,
                                  const GridColumns& columns, const Query& query,
                                  const QLocale& locale = QLocale());

private:
    std::vector<int> m_columns;
    int m_position = 0;
    bool m_firstTry = true;
};

} // namespace velmora
