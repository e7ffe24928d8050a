#include "IncrementalSearcher.h"

#include "Query.h"

#include <QScopedValueRollback>

namespace velmora {

IncrementalSearcher::IncrementalSearcher(IncrementalSearchHost& host, QObject* parent)
    : QObject(parent), m_host(host)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &IncrementalSearcher::timeOut);
}

bool IncrementalSearcher::keyPressed(int key, Qt::KeyboardModifiers modifiers, bool dialogFind)
{
    const Qt::KeyboardModifiers held = modifiers & ~Qt::KeypadModifier;
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (key == Qt::Key_F && held == Qt::ControlModifier) {
        if (!m_search.isSearching()) {
            m_host.closeEditor();
            m_search.startEmpty();
            m_timer.stop();
            m_host.redrawCurrentRow();
        } else if (dialogFind) {
            end();
            m_host.openFindDialog();
        }
        return true;
    }
    if (!m_search.isSearching())
        return false;
    if (key == Qt::Key_Backspace && held == Qt::NoModifier) {
        m_search.removeLastCharacter();
        m_host.redrawCurrentRow();
        restartTimer();
        return true;
    }
    if (enter && held == Qt::ControlModifier) {
        searchOn(IncSearchDirection::Next);
        return true;
    }
    if (enter && held == (Qt::ControlModifier | Qt::ShiftModifier)) {
        searchOn(IncSearchDirection::Previous);
        return true;
    }
    if ((enter || key == Qt::Key_Escape || key == Qt::Key_F2) && held == Qt::NoModifier)
        end();
    return false;
}

bool IncrementalSearcher::characterTyped(QChar typed)
{
    const Query* query = openQuery();
    if (typed.unicode() < 32 || !query)
        return false;
    follow(m_search.typeCharacter(typed, m_host.columns(), m_host.currentColumn(), *query));
    return true;
}

void IncrementalSearcher::rowMoved()
{
    if (!m_moving)
        end();
}

void IncrementalSearcher::columnChanged()
{
    end();
}

void IncrementalSearcher::timeOut()
{
    end();
}

void IncrementalSearcher::end()
{
    m_timer.stop();
    if (!m_search.isSearching())
        return;
    m_search.end();
    m_host.redrawCurrentRow();
}

const Query* IncrementalSearcher::openQuery() const
{
    const Query* query = m_host.dataSource();
    return query && query->isActive() ? query : nullptr;
}

void IncrementalSearcher::searchOn(IncSearchDirection direction)
{
    if (const Query* query = openQuery())
        follow(m_search.step({}, direction, m_search.timeout(), m_host.columns(),
                             m_host.currentColumn(), *query));
}

void IncrementalSearcher::follow(std::optional<int> row)
{
    if (row) {
        const QScopedValueRollback<bool> moving(m_moving, true);
        m_host.moveToCell(*row, -1);
    }
    m_host.closeEditor();
    m_host.redrawCurrentRow();
    restartTimer();
}

void IncrementalSearcher::restartTimer()
{
    if (m_search.timeout() >= 0)
        m_timer.start(m_search.timeout());
    else
        m_timer.stop();
}

} // namespace velmora
