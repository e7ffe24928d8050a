// A read-only, framed, word-wrapping memo that shows one field of a query's current row in
// full, and nothing while the query is closed or has no current row.
#pragma once

#include <QPlainTextEdit>
#include <QPointer>

namespace velmora {

class Query;

class FieldMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    FieldMemo(Query* query, const QString& field, QWidget* parent = nullptr);

private:
    void showCurrent();

    QPointer<Query> m_query;
    QString m_field;
};

} // namespace velmora
