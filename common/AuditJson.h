// AuditJson: an audit record (or any nested record) as JSON, driven by the
// same field lists as the serialisation.
//
// Every record becomes an object with the field names in stream order; a Text
// becomes a string (its Windows-1252 bytes shown as UTF-8), a Flag true or
// false (any non-zero raw value is true), Int16 and Int32 numbers, an absent
// array null and a present array a list. Lower bounds and raw flag values are
// not shown. Library quorvane_audit_json (needs nlohmann-json).
#pragma once

#include <string>
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

// The whole record as JSON text, indented by `indent` spaces (-1: one line).
std::string auditRecordToJsonText(const AuditRecord& record, int indent = 2);

}  // namespace quorvane
