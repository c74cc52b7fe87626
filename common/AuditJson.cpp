#include "common/AuditJson.h"

namespace quorvane {

namespace jsontext {

void appendString(std::string& out, std::string_view windows1252) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (const char c : windows1252) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += "\\u00";
          out += kHex[(c >> 4) & 0xF];
          out += kHex[c & 0xF];
        } else {
          appendUtf8(out, static_cast<unsigned char>(c));
        }
    }
  }
  out += '"';
}

void appendBreak(std::string& out, int indent, int depth) {
  if (indent < 0) return;
  out += '\n';
  out.append(static_cast<std::size_t>(indent) * static_cast<std::size_t>(depth), ' ');
}

}  // namespace jsontext

std::string auditRecordToJsonText(const AuditRecord& record, int indent) {
  std::string out;
  out.reserve(16384);
  appendAuditJsonText(out, record, indent);
  return out;
}

}  // namespace quorvane
