// The batches of the screens still to come, line by line as they send them, for the tests that
// run them against the simulated server before their screens exist.
#pragma once

#include <QStringList>

namespace screenbatches {

/// The space-used batch with its first line set to "Use <database>".
QStringList spaceUsed(const QString& database);

} // namespace screenbatches
