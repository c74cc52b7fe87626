#include "server/core/modPublisher.h"

#include <initializer_list>

namespace quorvane {
namespace {

// Lower case of one Windows-1252 character.
unsigned char lowerCp1252(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  switch (c) {
    case 0x8A: return 0x9A;  // S caron
    case 0x8C: return 0x9C;  // OE
    case 0x8E: return 0x9E;  // Z caron
    case 0x9F: return 0xFF;  // Y diaeresis
    default: return c;
  }
}

struct PublisherRow {
  std::initializer_list<std::string_view> prefixes;
  std::string_view publisher;
};

// Tested in order; the first row with a matching prefix wins.
const PublisherRow kPublishers[] = {
    {{"Windows 2000", "Microsoft", "MSDN", "Windows Media", "MSN", "Tweak UI",
      "Windows XP Hotfix", "Visual Basic", "Windows XP Application Compat"},
     "Microsoft Corporation**"},
    {{"TOSHIBA "}, "Toshiba*"},
    {{"RealOne"}, "Real Networks*"},
    {{"S3"}, "S3*"},
    {{"WinZip "}, "WinZip Computing, Inc*"},
    {{"Winamp"}, "Nullsoft Inc*"},
    {{"Unreal "}, "Epic Games*"},
    {{"Powerarchiver"}, "ConeXware, Inc*"},
    {{"mIRC"}, "mIRC Co. Ltd.*"},
    {{"Micrografx "}, "Micrografx Inc*"},
    {{"Mathematica "}, "Wolfram Research*"},
    {{"Logitech"}, "Logitech*"},
    {{"Java 2 Runtime Environment", "Java 2 SDK"}, "Sun Microsystems*"},
    {{"WinRAR"}, "Varnholt*"},
    {{"WinAce"}, "e-merge GmbH*"},
    {{"WildTangent"}, "WildTangent*"},
    {{"Westwood"}, "Westwood Studios*"},
    {{"Telstra"}, "Telstra*"},
    {{"SureThing"}, "MicroVision Development Inc*"},
    {{"Sims "}, "EA*"},
    {{"Sierra "}, "Sierra Entertainment, Inc*"},
    {{"Macromedia", "Shockwave"}, "Macromedia, Inc*"},
    {{"NVIDIA"}, "NVIDIA\xAE Corporation*"},  // 0xAE: registered sign in Windows-1252
    {{"Netscape"}, "Netscape Communications Corporation*"},
    {{"Musicmatch"}, "MusicMatch*"},
    {{"MadOnion"}, "MadOnion.com*"},
    {{"ICQ"}, "ICQ Inc*"},
    {{"Fujifilm"}, "Fuji Photo Film, Inc.*"},
    {{"Eye Candy"}, "Alien Skin Software, LLC*"},
    {{"Epson"}, "Seiko Epson Corporation *"},
    {{"Dungeonsiege"}, "Gas Powered Games, Corp.*"},
    {{"Divx"}, "DivXNetworks, Inc*"},
    {{"cpuidle"}, "Kessmer*"},
    {{"bcwipe"}, "Jetico, Inc*"},
    {{"answerworks runtime"}, "WexTech Systems, Inc*"},
    {{"adobe"}, "Adobe Systems, Inc*"},
    {{"ad-aware"}, "Lavasoft*"},
    {{"acdsee"}, "ACD Systems*"},
};

}  // namespace

bool startsWith(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (lowerCp1252(static_cast<unsigned char>(text[i])) !=
        lowerCp1252(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

std::string strGetPublisher(std::string_view displayName) {
  for (const PublisherRow& row : kPublishers) {
    for (std::string_view prefix : row.prefixes) {
      if (startsWith(displayName, prefix)) return std::string(row.publisher);
    }
  }
  return {};
}

}  // namespace quorvane
