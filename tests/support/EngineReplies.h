// Reading the simulated server's replies in tests that talk to its engine directly, without the
// wire: result sets, rows as text, error numbers, and a session logged in.
#pragma once

#include "engine/Engine.h"

#include <QList>
#include <QStringList>
#include <vector>

namespace sqlsim::testing {

/// "<null>" for NULL, date-times as "yyyy-MM-dd HH:mm:ss.zzz", anything else as its text.
QString valueText(const Value& value);
/// The reply's result sets, in order.
std::vector<const ResultSet*> results(const Reply& reply);
/// The reply's first result set; null when it has none.
const ResultSet* firstResult(const Reply& reply);
/// The rows of the reply's first result set, values "|"-joined, one string each.
QStringList rowTexts(const Reply& reply);
/// The numbers of the reply's errors (severity above 10), in order.
QList<int> errorNumbers(const Reply& reply);

/// A session of the login `name` (password "velmora"), as its spid.
int loginSession(Engine& engine, const QString& name = QStringLiteral("sa"));

} // namespace sqlsim::testing
