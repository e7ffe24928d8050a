#include "EngineReplies.h"

namespace sqlsim::testing {

QString valueText(const Value& value)
{
    if (!value.isValid())
        return QStringLiteral("<null>");
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    return value.toString();
}

std::vector<const ResultSet*> results(const Reply& reply)
{
    std::vector<const ResultSet*> out;
    for (const ReplyItem& item : reply.items) {
        if (const auto* result = std::get_if<ResultSet>(&item))
            out.push_back(result);
    }
    return out;
}

const ResultSet* firstResult(const Reply& reply)
{
    const auto all = results(reply);
    return all.empty() ? nullptr : all.front();
}

QStringList rowTexts(const Reply& reply)
{
    QStringList out;
    if (const ResultSet* result = firstResult(reply)) {
        for (const auto& row : result->rows) {
            QStringList values;
            for (const Value& value : row)
                values << valueText(value);
            out << values.join(u'|');
        }
    }
    return out;
}

QList<int> errorNumbers(const Reply& reply)
{
    QList<int> numbers;
    for (const ReplyItem& item : reply.items) {
        if (const auto* message = std::get_if<Message>(&item); message && message->severity > 10)
            numbers << message->number;
    }
    return numbers;
}

int loginSession(Engine& engine, const QString& name)
{
    LoginInfo info;
    info.login = name;
    info.password = QStringLiteral("velmora");
    return std::get<int>(engine.login(info));
}

} // namespace sqlsim::testing
