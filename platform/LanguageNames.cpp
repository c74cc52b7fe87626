#include "platform/LanguageNames.h"

#include <string_view>

namespace quorvane::platform {
namespace {

struct Row {
  std::uint16_t id;
  std::string_view name;
};

constexpr Row kNames[] = {
    {0x0401, "Arabic (Saudi Arabia)"},   {0x0402, "Bulgarian"},
    {0x0404, "Chinese (Taiwan)"},        {0x0405, "Czech"},
    {0x0406, "Danish"},                  {0x0407, "German (Germany)"},
    {0x0408, "Greek"},                   {0x0409, "English (United States)"},
    {0x040A, "Spanish (Traditional Sort)"}, {0x040B, "Finnish"},
    {0x040C, "French (France)"},         {0x040D, "Hebrew"},
    {0x040E, "Hungarian"},               {0x040F, "Icelandic"},
    {0x0410, "Italian (Italy)"},         {0x0411, "Japanese"},
    {0x0412, "Korean"},                  {0x0413, "Dutch (Netherlands)"},
    {0x0414, "Norwegian (Bokmal)"},      {0x0415, "Polish"},
    {0x0416, "Portuguese (Brazil)"},     {0x0418, "Romanian"},
    {0x0419, "Russian"},                 {0x041A, "Croatian"},
    {0x041B, "Slovak"},                  {0x041D, "Swedish"},
    {0x041E, "Thai"},                    {0x041F, "Turkish"},
    {0x0422, "Ukrainian"},               {0x0423, "Belarusian"},
    {0x0424, "Slovenian"},               {0x0425, "Estonian"},
    {0x0426, "Latvian"},                 {0x0427, "Lithuanian"},
    {0x042A, "Vietnamese"},              {0x0804, "Chinese (PRC)"},
    {0x0807, "German (Switzerland)"},    {0x0809, "English (United Kingdom)"},
    {0x080A, "Spanish (Mexico)"},        {0x080C, "French (Belgium)"},
    {0x0813, "Dutch (Belgium)"},         {0x0816, "Portuguese (Portugal)"},
    {0x0C07, "German (Austria)"},        {0x0C09, "English (Australia)"},
    {0x0C0A, "Spanish (International Sort)"}, {0x0C0C, "French (Canada)"},
    {0x1009, "English (Canada)"},        {0x100C, "French (Switzerland)"},
    {0x1809, "English (Ireland)"},       {0x4009, "English (India)"}};

}  // namespace

std::optional<std::string> windowsLanguageName(std::uint32_t languageId) {
  auto lang = static_cast<std::uint16_t>(languageId & 0xFFFF);
  for (const auto& r : kNames) {
    if (r.id == lang) return std::string(r.name);
  }
  return std::nullopt;
}

}  // namespace quorvane::platform
