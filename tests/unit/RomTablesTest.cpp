#include "rom/RomTables.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace quillet {
namespace {

TEST(CountryName, FourteenCountriesThenTheUnknownForm) {
    const char* expected[] = {"Japan (NTSC)",
                              "North America (NTSC)",
                              "Europe, Oceania, Asia (PAL)",
                              "Sweden (PAL)",
                              "Finland (PAL)",
                              "Denmark (PAL)",
                              "France (PAL)",
                              "Holland (PAL)",
                              "Spain (PAL)",
                              "Germany, Austria, Switz (PAL)",
                              "Italy (PAL)",
                              "Hong Kong, China (PAL)",
                              "Indonesia (PAL)",
                              "Korea (PAL)"};
    for (std::uint8_t code = 0; code < 14; ++code)
        EXPECT_EQ(CountryName(code), expected[code]);
    EXPECT_EQ(CountryName(0x0E), "Unknown (ID:0x0E)");
    EXPECT_EQ(CountryName(0xAB), "Unknown (ID:0xAB)");
    EXPECT_EQ(CountryName(0xFF), "Unknown (ID:0xFF)");
}

// Every named licensee, as "code text" lines.
constexpr const char* kLicenseeList = R"(00 <Invalid License Code>
01 Nintendo
05 Zamuse
08 Capcom
09 HOT B
0A Jaleco
0B STORM (Sales Curve) (1)
0F Mebio Software
12 Gremlin Graphics
15 COBRA Team
16 Human/Field
18 Hudson Soft
1A Yanoman
1C Tecmo (1)
1E Forum
1F Park Place Productions / VIRGIN
21 Tokai Engeneering (SUNSOFT?)
22 POW
23 Loriciel / Micro World
26 Enix
28 Kemco (1)
29 Seta Co.,Ltd.
2D Visit Co.,Ltd.
35 HECT
3D Loriciel
40 Seika Corp.
41 UBI Soft
47 Spectrum Holobyte
49 Irem
4B Raya Systems/Sculptured Software
4C Renovation Pruducts
4D Malibu Games (T*HQ Inc.) / Black Pearl
4F U.S. Gold
50 Absolute Entertainment
51 Acclaim
52 Activision
53 American Sammy
54 GameTek
55 Hi Tech
56 LJN Toys
5A Mindscape
5D Technos Japan Corp. (Tradewest)
5F American Softworks Corp.
60 Titus
61 Virgin Games
62 Maxis
67 Ocean
69 Electronic Arts
6B Laser Beam
6E Elite
6F Electro Brain
70 Infogrames
71 Interplay
72 LucasArts
73 Sculptured Soft
75 STORM (Sales Curve) (2)
78 THQ Software
79 Accolade Inc.
7A Triffix Entertainment
7C Microprose
7F Kemco (2)
82 Namcot/Namco Ltd. (1)
84 Koei/Koei! (second license?)
86 Tokuma Shoten Intermedia
88 DATAM-Polystar
8B Bullet-Proof Software
8C Vic Tokai
8F I'Max
91 CHUN Soft
92 Video System Co., Ltd.
93 BEC
97 Kaneco
99 Pack in Video
9A Nichibutsu
9B TECMO (2)
9C Imagineer Co.
A0 Wolf Team
A4 Konami
A5 K.Amusement
A7 Takara
A9 Technos Jap. ????
AA JVC
AC Toei Animation
AD Toho
AF Namcot/Namco Ltd. (2)
B1 ASCII Co. Activison
B2 BanDai America
B4 Enix
B6 Halken
BA Culture Brain
BB Sunsoft
BC Toshiba EMI/System Vision
BD Sony (Japan) / Imagesoft
BF Sammy
C0 Taito
C2 Kemco (3) ????
C3 Square
C4 NHK
C5 Data East
C6 Tonkin House
C8 KOEI
CA Konami USA
CD Meldac/KAZe
CE PONY CANYON
CF Sotsu Agency
D1 Sofel
D2 Quest Corp.
D3 Sigma
D6 Naxat
D8 Capcom Co., Ltd. (2)
D9 Banpresto
DB Hiro
DD NCS
DE Human Entertainment
DF Ringler Studios
E0 K.K. DCE / Jaleco
E2 Sotsu Agency
E4 T&ESoft
E5 EPOCH Co.,Ltd.
E7 Athena
E8 Asmik
E9 Natsume
EA King/A Wave
EB Atlus
EC Sony Music
EE Psygnosis / igs
F3 Beam Software
F4 Tec Magik
FF Hudson Soft
)";

TEST(LicenseeName, EveryCodeHasItsNameOrTheUnknownForm) {
    std::map<int, std::string> named;
    std::istringstream lines(kLicenseeList);
    for (std::string line; std::getline(lines, line);)
        named[std::stoi(line.substr(0, 2), nullptr, 16)] = line.substr(3);
    ASSERT_EQ(named.size(), 129u);

    for (int code = 0; code < 256; ++code) {
        const auto found = named.find(code);
        char unknown[40];
        std::snprintf(unknown, sizeof unknown, "Unknown Company (ID:0x%02X)", code);
        EXPECT_EQ(LicenseeName(static_cast<std::uint8_t>(code)),
                  found != named.end() ? found->second : std::string(unknown))
            << "code " << code;
    }
    EXPECT_EQ(LicenseeName(0x02), "Unknown Company (ID:0x02)");
    EXPECT_EQ(LicenseeName(0xAB), "Unknown Company (ID:0xAB)");
}

TEST(SpecialChipsName, SevenTypesThenTheUnknownForm) {
    const char* expected[] = {"(None)",       "RAM",           "SRAM",    "DSP1",
                              "DSP1 and RAM", "DSP1 and SRAM", "Super FX"};
    for (std::uint8_t type = 0; type < 7; ++type)
        EXPECT_EQ(SpecialChipsName(type), expected[type]);
    EXPECT_EQ(SpecialChipsName(7), "Unknown (ID:0x07)");
    EXPECT_EQ(SpecialChipsName(0xF5), "Unknown (ID:0xF5)");
}

} // namespace
} // namespace quillet
