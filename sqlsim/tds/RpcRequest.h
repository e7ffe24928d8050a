// Reads an RPC request (2.2.6.6): each call's procedure, by name or by its well-known id, and its
// parameters with their declared types and values, as the engine holds values.
#pragma once

#include "state/Reply.h"

#include <QByteArray>
#include <optional>
#include <vector>

namespace sqlsim::tds {

struct RpcParameter {
    QString name;          // "@p1", or empty when given by position
    bool output = false;   // fByRefValue: the caller wants the value back
    Column type;           // as declared on the wire
    Value value;           // invalid: NULL
};

struct RpcCall {
    QString procedure;     // a well-known id is given as its procedure's name
    std::vector<RpcParameter> parameters;
};

/// The calls of one request, in order; nothing when the request is malformed (cut short, a type
/// the server does not know, a length that disagrees with the type).
std::optional<std::vector<RpcCall>> parseRpcRequest(const QByteArray& payload);

} // namespace sqlsim::tds
