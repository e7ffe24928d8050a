// What a grid shows, as text for other programs: tab-separated lines for the clipboard and
// comma-separated values for a file, both from the visible columns in their on-screen order
// and the cells as the grid draws them.
#pragma once

#include "GridColumn.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <vector>

namespace velmora {

class Query;

/// The titles of a grid's visible columns and the display texts of some of its rows.
struct GridTable {
    QStringList titles;
    std::vector<QStringList> rows;
    /// For each column, whether its field holds text (any other value a client could not choose).
    std::vector<bool> textColumns;
};

/// The visible columns of `columns` (in collection order, which is the on-screen order) with
/// the cells of the visible rows `rows` of `query`, each as fieldDisplayText in `locale` except
/// that fixed-width text loses its padding blanks. A column whose field the query lacks, and a
/// closed query, give empty cells.
/// Precondition: every entry of `rows` is a visible row of an open query.
GridTable gridTable(const GridColumns& columns, const Query& query, const std::vector<int>& rows,
                    const QLocale& locale = QLocale());

/// The visible rows of `query` in their order: 0 to recordCount() - 1; none while closed.
std::vector<int> allVisibleRows(const Query& query);

/// The title line and a line per row, cells separated by a tab, every line ended by LF. A tab,
/// CR, LF or CR LF inside a cell becomes one blank, so each row stays one line of cells.
QString tabSeparatedText(const GridTable& table);

/// The title line and a record per row as comma-separated values: UTF-8 after a byte order
/// mark, every record ended by CR LF, a field holding a comma, quote, CR or LF put in quotes
/// with its quotes doubled. A text cell that a spreadsheet would take for a formula (it begins
/// with "=", "+", "-", "@", a tab or CR) gets an apostrophe in front, so it is read as text.
QByteArray csvBytes(const GridTable& table);

/// Writes `bytes` to `path` through a temporary file in the same folder renamed over it at the
/// end, so a failed write leaves the previous file, or none, and no partial one. Returns the
/// system's reason for a failure, empty on success.
QString writeFileWhole(const QString& path, const QByteArray& bytes);

} // namespace velmora
