// Turns the engine's answer to a batch into the token stream a server sends: each result ends
// with DONE (DONEINPROC inside a procedure), an error sets the error bit of the done that
// follows it, a procedure ends with RETURNSTATUS and DONEPROC, environment changes become
// ENVCHANGE, and the last done of the reply goes without DONE_MORE.
#pragma once

#include "state/Reply.h"

#include <QByteArray>
#include <QString>

namespace sqlsim::tds {

/// With `Reply::dropConnection` the tokens stop after `Reply::dropAfterRows` rows of the first
/// result when it has more.
QByteArray encodeReply(const Reply& reply);

/// The answer to an attention: DONE with DONE_ATTN.
QByteArray attentionAcknowledgement();

} // namespace sqlsim::tds
