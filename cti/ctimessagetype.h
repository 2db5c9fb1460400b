#pragma once

#include <QString>

//! Kind of a protocol message, with its text form on the wire.
namespace CTIMessageType {
enum Type { none = 0, command = 1, response = 2, event = 3 };

QString toString(Type type);
//! Exactly "command", "response" or "event" (case-sensitive); anything else is none.
Type fromString(const QString &text);
} // namespace CTIMessageType
