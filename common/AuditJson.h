// AuditJson: an audit record (or any nested record) as JSON, driven by the
// same field lists as the serialisation.
//
// Every record becomes an object with the field names in stream order; a Text
// becomes a string (its Windows-1252 bytes shown as UTF-8), a Flag true or
// false (any non-zero raw value is true), Int16 and Int32 numbers, an absent
// array null and a present array a list. Lower bounds and raw flag values are
// not shown. Library quorvane_audit_json (needs nlohmann-json).
//
// appendAuditJsonText writes the same JSON text straight from the record,
// without building the value first (the dump tool and the fleet export
// print many records); its text is the one toAuditJson(...).dump(indent)
// gives: strings with ensure_ascii off, indentation by `indent` blanks, or
// one line for a negative indent.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

#include <nlohmann/json.hpp>

#include "common/AuditRecord.h"
#include "common/Text8.h"

namespace quorvane {

using AuditJsonValue = nlohmann::ordered_json;

template <class T>
AuditJsonValue toAuditJson(const T& value) {
  if constexpr (std::is_same_v<T, Text>) {
    return AuditJsonValue(windows1252ToUtf8(value));
  } else if constexpr (std::is_same_v<T, Flag>) {
    return AuditJsonValue(value.isTrue());
  } else if constexpr (std::is_same_v<T, std::int16_t> || std::is_same_v<T, std::int32_t>) {
    return AuditJsonValue(value);
  } else if constexpr (requires { value.items; value.present; }) {
    if (!value.present && value.items.empty()) return AuditJsonValue(nullptr);
    AuditJsonValue list = AuditJsonValue::array();
    for (const auto& item : value.items) list.push_back(toAuditJson(item));
    return list;
  } else {
    static_assert(AuditRecordType<T>, "unsupported field type in a record description");
    AuditJsonValue object = AuditJsonValue::object();
    forEachField(value, [&object](std::string_view name, const auto& member) {
      object[std::string(name)] = toAuditJson(member);
    });
    return object;
  }
}

namespace jsontext {
// A JSON string: quotation marks around the UTF-8 form of Windows-1252 text,
// escaped as the serializer escapes it.
void appendString(std::string& out, std::string_view windows1252);
// Before a member or element at `depth`: a line break and indentation, when indenting.
void appendBreak(std::string& out, int indent, int depth);
}  // namespace jsontext

template <class T>
void appendAuditJsonText(std::string& out, const T& value, int indent, int depth = 0) {
  if constexpr (std::is_same_v<T, Text>) {
    jsontext::appendString(out, value);
  } else if constexpr (std::is_same_v<T, Flag>) {
    out += value.isTrue() ? "true" : "false";
  } else if constexpr (std::is_same_v<T, std::int16_t> || std::is_same_v<T, std::int32_t>) {
    out += std::to_string(value);
  } else if constexpr (requires { value.items; value.present; }) {
    if (value.items.empty()) {
      out += value.present ? "[]" : "null";
      return;
    }
    out += '[';
    for (std::size_t i = 0; i < value.items.size(); ++i) {
      if (i > 0) out += ',';
      jsontext::appendBreak(out, indent, depth + 1);
      appendAuditJsonText(out, value.items[i], indent, depth + 1);
    }
    jsontext::appendBreak(out, indent, depth);
    out += ']';
  } else {
    static_assert(AuditRecordType<T>, "unsupported field type in a record description");
    out += '{';
    bool first = true;
    forEachField(value, [&](std::string_view name, const auto& member) {
      if (!first) out += ',';
      first = false;
      jsontext::appendBreak(out, indent, depth + 1);
      jsontext::appendString(out, name);
      out += indent >= 0 ? ": " : ":";
      appendAuditJsonText(out, member, indent, depth + 1);
    });
    jsontext::appendBreak(out, indent, depth);
    out += '}';
  }
}

// The whole record as JSON text, indented by `indent` spaces (-1: one line).
std::string auditRecordToJsonText(const AuditRecord& record, int indent = 2);

}  // namespace quorvane
