#include "FieldMemo.h"

#include "Query.h"

namespace velmora {

FieldMemo::FieldMemo(Query* query, const QString& field, QWidget* parent)
    : QPlainTextEdit(parent), m_query(query), m_field(field)
{
    setReadOnly(true);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    for (auto signal : {&Query::afterOpen, &Query::afterClose, &Query::afterScroll, &Query::rowsReset})
        connect(query, signal, this, &FieldMemo::showCurrent);
    showCurrent();
}

void FieldMemo::showCurrent()
{
    const bool hasRow = m_query && m_query->isActive() && m_query->recNo() >= 0;
    const QString text = hasRow ? m_query->value(m_field).toString() : QString();
    if (toPlainText() != text)
        setPlainText(text);
}

} // namespace velmora
