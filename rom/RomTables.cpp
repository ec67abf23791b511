#include "rom/RomTables.h"

#include "base/NumberFormat.h"

#include <array>
#include <utility>

namespace quillet {

namespace {

constexpr std::array<const char*, 14> kCountries = {
    "Japan (NTSC)",
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
    "Korea (PAL)",
};

constexpr std::array<const char*, 7> kCartridgeTypes = {
    "(None)", "RAM", "SRAM", "DSP1", "DSP1 and RAM", "DSP1 and SRAM", "Super FX",
};

// Texts are kept exactly as the program has always shown them, spelling included.
constexpr std::pair<std::uint8_t, const char*> kLicensees[] = {
    {0x00, "<Invalid License Code>"},
    {0x01, "Nintendo"},
    {0x05, "Zamuse"},
    {0x08, "Capcom"},
    {0x09, "HOT B"},
    {0x0A, "Jaleco"},
    {0x0B, "STORM (Sales Curve) (1)"},
    {0x0F, "Mebio Software"},
    {0x12, "Gremlin Graphics"},
    {0x15, "COBRA Team"},
    {0x16, "Human/Field"},
    {0x18, "Hudson Soft"},
    {0x1A, "Yanoman"},
    {0x1C, "Tecmo (1)"},
    {0x1E, "Forum"},
    {0x1F, "Park Place Productions / VIRGIN"},
    {0x21, "Tokai Engeneering (SUNSOFT?)"},
    {0x22, "POW"},
    {0x23, "Loriciel / Micro World"},
    {0x26, "Enix"},
    {0x28, "Kemco (1)"},
    {0x29, "Seta Co.,Ltd."},
    {0x2D, "Visit Co.,Ltd."},
    {0x35, "HECT"},
    {0x3D, "Loriciel"},
    {0x40, "Seika Corp."},
    {0x41, "UBI Soft"},
    {0x47, "Spectrum Holobyte"},
    {0x49, "Irem"},
    {0x4B, "Raya Systems/Sculptured Software"},
    {0x4C, "Renovation Pruducts"},
    {0x4D, "Malibu Games (T*HQ Inc.) / Black Pearl"},
    {0x4F, "U.S. Gold"},
    {0x50, "Absolute Entertainment"},
    {0x51, "Acclaim"},
    {0x52, "Activision"},
    {0x53, "American Sammy"},
    {0x54, "GameTek"},
    {0x55, "Hi Tech"},
    {0x56, "LJN Toys"},
    {0x5A, "Mindscape"},
    {0x5D, "Technos Japan Corp. (Tradewest)"},
    {0x5F, "American Softworks Corp."},
    {0x60, "Titus"},
    {0x61, "Virgin Games"},
    {0x62, "Maxis"},
    {0x67, "Ocean"},
    {0x69, "Electronic Arts"},
    {0x6B, "Laser Beam"},
    {0x6E, "Elite"},
    {0x6F, "Electro Brain"},
    {0x70, "Infogrames"},
    {0x71, "Interplay"},
    {0x72, "LucasArts"},
    {0x73, "Sculptured Soft"},
    {0x75, "STORM (Sales Curve) (2)"},
    {0x78, "THQ Software"},
    {0x79, "Accolade Inc."},
    {0x7A, "Triffix Entertainment"},
    {0x7C, "Microprose"},
    {0x7F, "Kemco (2)"},
    {0x82, "Namcot/Namco Ltd. (1)"},
    {0x84, "Koei/Koei! (second license?)"},
    {0x86, "Tokuma Shoten Intermedia"},
    {0x88, "DATAM-Polystar"},
    {0x8B, "Bullet-Proof Software"},
    {0x8C, "Vic Tokai"},
    {0x8F, "I'Max"},
    {0x91, "CHUN Soft"},
    {0x92, "Video System Co., Ltd."},
    {0x93, "BEC"},
    {0x97, "Kaneco"},
    {0x99, "Pack in Video"},
    {0x9A, "Nichibutsu"},
    {0x9B, "TECMO (2)"},
    {0x9C, "Imagineer Co."},
    {0xA0, "Wolf Team"},
    {0xA4, "Konami"},
    {0xA5, "K.Amusement"},
    {0xA7, "Takara"},
    {0xA9, "Technos Jap. ????"},
    {0xAA, "JVC"},
    {0xAC, "Toei Animation"},
    {0xAD, "Toho"},
    {0xAF, "Namcot/Namco Ltd. (2)"},
    {0xB1, "ASCII Co. Activison"},
    {0xB2, "BanDai America"},
    {0xB4, "Enix"},
    {0xB6, "Halken"},
    {0xBA, "Culture Brain"},
    {0xBB, "Sunsoft"},
    {0xBC, "Toshiba EMI/System Vision"},
    {0xBD, "Sony (Japan) / Imagesoft"},
    {0xBF, "Sammy"},
    {0xC0, "Taito"},
    {0xC2, "Kemco (3) ????"},
    {0xC3, "Square"},
    {0xC4, "NHK"},
    {0xC5, "Data East"},
    {0xC6, "Tonkin House"},
    {0xC8, "KOEI"},
    {0xCA, "Konami USA"},
    {0xCD, "Meldac/KAZe"},
    {0xCE, "PONY CANYON"},
    {0xCF, "Sotsu Agency"},
    {0xD1, "Sofel"},
    {0xD2, "Quest Corp."},
    {0xD3, "Sigma"},
    {0xD6, "Naxat"},
    {0xD8, "Capcom Co., Ltd. (2)"},
    {0xD9, "Banpresto"},
    {0xDB, "Hiro"},
    {0xDD, "NCS"},
    {0xDE, "Human Entertainment"},
    {0xDF, "Ringler Studios"},
    {0xE0, "K.K. DCE / Jaleco"},
    {0xE2, "Sotsu Agency"},
    {0xE4, "T&ESoft"},
    {0xE5, "EPOCH Co.,Ltd."},
    {0xE7, "Athena"},
    {0xE8, "Asmik"},
    {0xE9, "Natsume"},
    {0xEA, "King/A Wave"},
    {0xEB, "Atlus"},
    {0xEC, "Sony Music"},
    {0xEE, "Psygnosis / igs"},
    {0xF3, "Beam Software"},
    {0xF4, "Tec Magik"},
    {0xFF, "Hudson Soft"},
};

// One slot per code, so a lookup is a single index.
constexpr std::array<const char*, 256> MakeLicenseeTable() {
    std::array<const char*, 256> table{};
    for (const auto& [code, name] : kLicensees)
        table[code] = name;
    return table;
}

constexpr std::array<const char*, 256> kLicenseeByCode = MakeLicenseeTable();

std::string UnknownCode(const char* prefix, std::uint8_t code) {
    return std::string(prefix) + FormatHex(code, 2) + ")";
}

} // namespace

std::string CountryName(std::uint8_t code) {
    if (code < kCountries.size())
        return kCountries[code];
    return UnknownCode("Unknown (ID:0x", code);
}

std::string LicenseeName(std::uint8_t code) {
    if (const char* name = kLicenseeByCode[code])
        return name;
    return UnknownCode("Unknown Company (ID:0x", code);
}

std::string SpecialChipsName(std::uint8_t romType) {
    if (romType < kCartridgeTypes.size())
        return kCartridgeTypes[romType];
    return UnknownCode("Unknown (ID:0x", romType);
}

} // namespace quillet
