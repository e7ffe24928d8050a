// The batches of the screens still to come, line by line as they send them, for the tests that
// run them against the simulated server before their screens exist.
#pragma once

#include <QStringList>

namespace screenbatches {

/// The error-log parsing batch; its one marker is :LID.
QStringList logParsing();
/// The last-log-line batch; its one marker is :LID.
QStringList lastLogLine();

} // namespace screenbatches
