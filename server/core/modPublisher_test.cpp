// Publisher lookup: one named row per table entry (and per prefix of the
// rows with several), the edge cases of the prefix test, and the order of the
// rows where one name could match two of them.
#include "server/core/modPublisher.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace quorvane {
namespace {

struct PrefixCase {
  const char* name;
  const char* text;
  const char* prefix;
  bool expected;
};

void PrintTo(const PrefixCase& c, std::ostream* os) { *os << c.name; }

class StartsWithTest : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(StartsWithTest, MatchesPrefixIgnoringCase) {
  const PrefixCase& c = GetParam();
  EXPECT_EQ(startsWith(c.text, c.prefix), c.expected);
}

const PrefixCase kPrefixCases[] = {
    {"same_case", "Microsoft Office", "Microsoft", true},
    {"lower_text", "microsoft office", "Microsoft", true},
    {"upper_text", "MICROSOFT OFFICE", "microsoft", true},
    {"whole_text_equals_prefix", "Winamp", "winamp", true},
    {"text_shorter_than_prefix", "Win", "Winamp", false},
    {"empty_text_nonempty_prefix", "", "S3", false},
    {"empty_prefix_matches_anything", "anything", "", true},
    {"empty_prefix_empty_text", "", "", true},
    {"leading_blank_not_trimmed", " WinZip 8.1", "WinZip ", false},
    {"trailing_blank_of_prefix_counts", "Toshiba", "TOSHIBA ", false},
    {"trailing_blank_of_prefix_matches_blank", "toshiba utilities", "TOSHIBA ", true},
    {"blank_of_prefix_vs_letter", "ToshibaUtils", "TOSHIBA ", false},
    {"differs_in_last_char", "Winamq", "Winamp", false},
    {"dovrel_library_any_case", "DOVREL.dll", "dovrel", true},
    {"dovrel_library_mixed_case", "DovRelX.dll", "dovrel", true},
    {"accented_upper_folds", "\xC9" "cole", "\xE9" "cole", true},  // E acute, Windows-1252
    {"multiply_sign_not_folded", "\xD7", "\xF7", false},
    {"high_byte_vs_ascii", "\xC1" "dobe", "adobe", false},
};

INSTANTIATE_TEST_SUITE_P(Cases, StartsWithTest, ::testing::ValuesIn(kPrefixCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StartsWithTest, EmbeddedNulIsAnOrdinaryCharacter) {
  const std::string text("ab\0cd", 5);
  EXPECT_TRUE(startsWith(text, std::string("AB\0C", 4)));
  EXPECT_FALSE(startsWith(text, std::string("AB\0D", 4)));
  EXPECT_FALSE(startsWith(std::string("ab", 2), std::string("ab\0", 3)));
}

struct PublisherCase {
  const char* name;
  const char* displayName;
  const char* expected;
};

void PrintTo(const PublisherCase& c, std::ostream* os) { *os << c.name; }

class PublisherTest : public ::testing::TestWithParam<PublisherCase> {};

TEST_P(PublisherTest, GivesPublisherOfFirstMatchingRow) {
  const PublisherCase& c = GetParam();
  EXPECT_EQ(strGetPublisher(c.displayName), c.expected);
}

const PublisherCase kPublisherCases[] = {
    // Row 1, every prefix.
    {"r1_windows_2000", "Windows 2000 Hotfix - KB329115", "Microsoft Corporation**"},
    {"r1_microsoft", "Microsoft Office XP", "Microsoft Corporation**"},
    {"r1_microsoft_lower", "microsoft office", "Microsoft Corporation**"},
    {"r1_msdn", "MSDN Library", "Microsoft Corporation**"},
    {"r1_windows_media", "Windows Media Player 9", "Microsoft Corporation**"},
    {"r1_msn", "MSN Messenger 6.1", "Microsoft Corporation**"},
    {"r1_tweak_ui", "Tweak UI", "Microsoft Corporation**"},
    {"r1_xp_hotfix", "Windows XP Hotfix - KB828035", "Microsoft Corporation**"},
    {"r1_visual_basic", "Visual Basic 6.0 Runtime", "Microsoft Corporation**"},
    {"r1_app_compat", "Windows XP Application Compatibility Toolkit", "Microsoft Corporation**"},
    {"r2_toshiba", "Toshiba Utilities", "Toshiba*"},
    {"r2_toshiba_upper", "TOSHIBA Touch and Launch", "Toshiba*"},
    {"r2_toshiba_alone", "Toshiba", ""},
    {"r2_toshiba_no_blank", "ToshibaUtils", ""},
    {"r3_realone", "RealOne Player", "Real Networks*"},
    {"r4_s3", "S3Info", "S3*"},
    {"r4_s3_lower", "s3 graphics driver", "S3*"},
    {"r5_winzip", "WinZip 8.1", "WinZip Computing, Inc*"},
    {"r5_winzip_lower", "winzip 9.0 SR-1", "WinZip Computing, Inc*"},
    {"r5_winzip_upper", "WINZIP Self-Extractor", "WinZip Computing, Inc*"},
    {"r5_winzip_leading_blank", " WinZip 8.1", ""},
    {"r5_winzip_no_blank", "WinZipper", ""},
    {"r6_winamp", "Winamp (remove only)", "Nullsoft Inc*"},
    {"r7_unreal", "Unreal Tournament 2003", "Epic Games*"},
    {"r8_powerarchiver", "PowerArchiver 2003", "ConeXware, Inc*"},
    {"r9_mirc", "mIRC", "mIRC Co. Ltd.*"},
    {"r10_micrografx", "Micrografx Picture Publisher", "Micrografx Inc*"},
    {"r11_mathematica", "Mathematica 5", "Wolfram Research*"},
    {"r12_logitech", "Logitech MouseWare", "Logitech*"},
    {"r13_java_runtime", "Java 2 Runtime Environment, SE v1.4.2", "Sun Microsystems*"},
    {"r13_java_sdk", "Java 2 SDK, SE v1.4.2", "Sun Microsystems*"},
    {"r14_winrar", "WinRAR archiver", "Varnholt*"},
    {"r15_winace", "WinAce Archiver", "e-merge GmbH*"},
    {"r16_wildtangent", "WildTangent Web Driver", "WildTangent*"},
    {"r17_westwood", "Westwood Online", "Westwood Studios*"},
    {"r18_telstra", "Telstra BigPond", "Telstra*"},
    {"r19_surething", "SureThing CD Labeler", "MicroVision Development Inc*"},
    {"r20_sims", "Sims Deluxe", "EA*"},
    {"r20_simsville", "SimsVille", ""},
    {"r21_sierra", "Sierra Utilities", "Sierra Entertainment, Inc*"},
    {"r22_macromedia", "Macromedia Flash Player", "Macromedia, Inc*"},
    {"r22_shockwave", "Shockwave Player", "Macromedia, Inc*"},
    {"r23_nvidia", "NVIDIA Display Driver", "NVIDIA\xAE Corporation*"},
    {"r24_netscape", "Netscape 7.1", "Netscape Communications Corporation*"},
    {"r25_musicmatch", "Musicmatch Jukebox", "MusicMatch*"},
    {"r26_madonion", "MadOnion 3DMark2001", "MadOnion.com*"},
    {"r27_icq", "ICQ Lite", "ICQ Inc*"},
    {"r28_fujifilm", "FujiFilm FinePixViewer", "Fuji Photo Film, Inc.*"},
    {"r29_eye_candy", "Eye Candy 4000", "Alien Skin Software, LLC*"},
    {"r30_epson_blank_before_asterisk", "EPSON Printer Software", "Seiko Epson Corporation *"},
    {"r31_dungeonsiege", "DungeonSiege", "Gas Powered Games, Corp.*"},
    {"r32_divx", "DivX Codec", "DivXNetworks, Inc*"},
    {"r33_cpuidle", "CpuIdle 5.6", "Kessmer*"},
    {"r34_bcwipe", "BCWipe 3.0", "Jetico, Inc*"},
    {"r35_answerworks", "AnswerWorks Runtime 4.0", "WexTech Systems, Inc*"},
    {"r36_adobe", "Adobe Reader 6.0", "Adobe Systems, Inc*"},
    {"r37_ad_aware", "Ad-Aware 6.0", "Lavasoft*"},
    {"r38_acdsee", "ACDSee 5.0", "ACD Systems*"},
    // Order: the first matching row wins.
    {"order_windows_media_before_winamp", "Windows Media Winamp skin", "Microsoft Corporation**"},
    {"order_winzip_before_winrar", "WinZip WinRAR bridge", "WinZip Computing, Inc*"},
    {"order_adobe_before_ad_aware", "adobe-aware", "Adobe Systems, Inc*"},
    {"order_ad_aware_not_adobe", "ad-aware adobe", "Lavasoft*"},
    // No row.
    {"no_row_empty", "", ""},
    {"no_row_unknown", "7-Zip 4.65", ""},
    {"no_row_windows_alone", "Windows", ""},
    {"no_row_short_prefix_piece", "MS", ""},
};

INSTANTIATE_TEST_SUITE_P(Rows, PublisherTest, ::testing::ValuesIn(kPublisherCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvane
