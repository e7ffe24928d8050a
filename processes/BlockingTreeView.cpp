#include "BlockingTreeView.h"

#include "Query.h"

#include <utility>

namespace velmora {

namespace {

const QString SpidField = QStringLiteral("spid");
const QString BlockedField = QStringLiteral("blocked");

BlockingLink linkOf(const Row& row, int spid, int blocked)
{
    return {row[size_t(spid)].toInt(), row[size_t(blocked)].toInt()};
}

} // namespace

const QString BlockingTreeView::TreeColumn = QStringLiteral("blocking_tree");
const QString BlockingTreeView::WaitingField = QStringLiteral("waiting_behind");

void BlockingTreeView::addWaitingField(Query& query)
{
    if (query.fieldIndex(WaitingField) >= 0)
        return;
    std::vector<FieldDef> fields = query.fields();
    fields.push_back(FieldDef{.name = WaitingField, .kind = FieldKind::Integer, .readOnly = true, .calculated = true});
    query.setFields(std::move(fields));
}

GridColumns BlockingTreeView::columns()
{
    GridColumn tree;
    tree.fieldName = TreeColumn;
    tree.title = QStringLiteral("Дерево");
    tree.width = 90;
    GridColumn waiting;
    waiting.fieldName = WaitingField;
    waiting.title = QStringLiteral("Ждут");
    waiting.width = 40;
    waiting.titleButton = true;
    return {tree, waiting};
}

bool BlockingTreeView::isTreeColumn(const GridColumn& column)
{
    return column.fieldName == TreeColumn || column.fieldName == WaitingField;
}

QString BlockingTreeView::glyphs(const BlockingTreeRow& row)
{
    QString text;
    if (row.depth > 0) {
        text.fill(u' ', 3 * (row.depth - 1));
        text += row.lastSibling ? u'└' : u'├';
        text += row.subthread ? u'┄' : u'─';
    }
    if (row.inCycle)
        text += QStringLiteral("↻ цикл");
    return text;
}

void BlockingTreeView::show(Query* query)
{
    if (query == m_query)
        return;
    if (Query* previous = std::exchange(m_query, nullptr)) {
        hooksChanged(previous);
        m_shown.clear();
        previous->rearrange();
    }
    if (!query)
        return;
    m_query = query;
    hooksChanged(query);
    // Sorting again counts every row's waiters and builds the tree in the operator's order.
    if (query->isActive())
        query->setSort(query->sort());
}

QString BlockingTreeView::cellText(int row) const
{
    return row >= 0 && size_t(row) < m_shown.size() ? glyphs(m_shown[size_t(row)]) : QString();
}

void BlockingTreeView::arrange(std::vector<int>& view, const std::vector<Row>& rows)
{
    const int spid = m_query->fieldIndex(SpidField);
    const int blocked = m_query->fieldIndex(BlockedField);
    std::vector<BlockingLink> links;
    links.reserve(view.size());
    for (const int held : view)
        links.push_back(linkOf(rows[size_t(held)], spid, blocked));
    const BlockingTree tree = buildBlockingTree(links);
    std::vector<int> arranged;
    arranged.reserve(view.size());
    m_shown.clear();
    m_shown.reserve(view.size());
    for (const int index : tree.order) {
        arranged.push_back(view[size_t(index)]);
        m_shown.push_back(tree.rows[size_t(index)]);
    }
    view = std::move(arranged);
}

void BlockingTreeView::countWaiting(const Query& query)
{
    // Looked up once a pass: setWaiting() runs for every row.
    m_spidField = query.fieldIndex(SpidField);
    m_waitingField = query.fieldIndex(WaitingField);
    const int blocked = query.fieldIndex(BlockedField);
    std::vector<BlockingLink> links;
    links.reserve(size_t(query.heldRowCount()));
    for (int held = 0; held < query.heldRowCount(); ++held)
        links.push_back(linkOf(query.heldRow(held), m_spidField, blocked));
    const BlockingTree tree = buildBlockingTree(links);
    m_waitingBySpid.clear();
    for (size_t index = 0; index < links.size(); ++index)
        if (tree.waiting[index] > 0)
            m_waitingBySpid.insert(links[index].spid, tree.waiting[index]);
}

void BlockingTreeView::setWaiting(Query& query) const
{
    const auto found = m_waitingBySpid.constFind(query.value(m_spidField).toInt());
    // Nobody waiting leaves the cell empty, so that the blockers stand out.
    query.setValue(m_waitingField, found == m_waitingBySpid.constEnd() ? QVariant() : *found);
}

} // namespace velmora
