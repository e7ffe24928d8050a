// The incremental search of a grid as its keys drive it: typed characters start or extend the
// search, Backspace, Ctrl+Enter and Ctrl+Shift+Enter act within it, Enter, Esc and F2 end it,
// and so do its time-out, a change of column and a row moved by anything but the search.
// The grid hosts it and tells it about keys, characters and moves.
#pragma once

#include "GridSearch.h"

#include <QObject>
#include <QTimer>

namespace velmora {

/// What the incremental search needs of the grid it searches.
class IncrementalSearchHost : public SearchedGrid {
public:
    /// Closes any inline editor: a search step puts the grid in search mode.
    virtual void closeEditor() = 0;
    /// Redraws the current row, over whose current cell the search text is drawn.
    virtual void redrawCurrentRow() = 0;
    /// Opens the find dialog for the grid.
    virtual void openFindDialog() = 0;
};

class IncrementalSearcher : public QObject {
    Q_OBJECT
public:
    /// `host` must outlive the searcher.
    explicit IncrementalSearcher(IncrementalSearchHost& host, QObject* parent = nullptr);

    const IncrementalSearch& state() const { return m_search; }
    /// The timer whose time-out ends the search; running only while a timed search waits.
    const QTimer& timer() const { return m_timer; }

    /// A key pressed in the grid, before the grid's own key handling; `dialogFind`: the grid's
    /// Ctrl+F opens the find dialog. Returns whether the search took the key. Enter, Esc and F2 end a
    /// running search and are left to their ordinary effect.
    bool keyPressed(int key, Qt::KeyboardModifiers modifiers, bool dialogFind);
    /// A character typed into the grid that the screen's key hook left in place, while no
    /// cell is being edited. Returns whether the search took it (codes from 32 on, with the
    /// result set open).
    bool characterTyped(QChar typed);

    /// The grid's current row moved; unless the search moved it, the search ends.
    void rowMoved();
    /// The grid's current column changed: the search ends.
    void columnChanged();
    /// The time-out elapsed after the last step: the search ends.
    void timeOut();
    /// Back to idle: the search text cleared and the row redrawn.
    void end();

private:
    /// The grid's result set when it is open, else null.
    const Query* openQuery() const;
    /// A step with no new character, from the row after or before the current one.
    void searchOn(IncSearchDirection direction);
    /// What follows every step: the matching row made current, the editor closed, the row
    /// redrawn, the timer restarted.
    void follow(std::optional<int> row);
    void restartTimer();

    IncrementalSearchHost& m_host;
    IncrementalSearch m_search;
    QTimer m_timer;
    bool m_moving = false;   // the search itself is moving the current row
};

} // namespace velmora
