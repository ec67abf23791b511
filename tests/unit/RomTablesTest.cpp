#include "rom/RomTables.h"

#include <gtest/gtest.h>

#include <map>

namespace quillet {
namespace {

TEST(CountryName, KnownCodesThenTheUnknownForm) {
    EXPECT_EQ(CountryName(0x00), "Japan (NTSC)");
    EXPECT_EQ(CountryName(0x02), "Europe, Oceania, Asia (PAL)");
    EXPECT_EQ(CountryName(0x09), "Germany, Austria, Switz (PAL)");
    EXPECT_EQ(CountryName(0x0D), "Korea (PAL)");
    EXPECT_EQ(CountryName(0x0E), "Unknown (ID:0x0E)");
    EXPECT_EQ(CountryName(0xAB), "Unknown (ID:0xAB)");
    EXPECT_EQ(CountryName(0xFF), "Unknown (ID:0xFF)");
}

TEST(LicenseeName, NamedCodesDuplicatesAndTheUnknownForm) {
    std::map<std::string, int> uses;
    int named = 0;
    for (int code = 0; code < 256; ++code) {
        const std::string name = LicenseeName(static_cast<std::uint8_t>(code));
        char unknown[40];
        std::snprintf(unknown, sizeof unknown, "Unknown Company (ID:0x%02X)", code);
        if (name != unknown) {
            ++named;
            ++uses[name];
        }
    }
    EXPECT_EQ(named, 129);
    // Three companies stand under two codes each; every other name is unique.
    for (const auto& [name, count] : uses)
        EXPECT_EQ(count, name == "Hudson Soft" || name == "Enix" || name == "Sotsu Agency" ? 2 : 1)
            << name;

    EXPECT_EQ(LicenseeName(0x00), "<Invalid License Code>");
    EXPECT_EQ(LicenseeName(0x01), "Nintendo");
    EXPECT_EQ(LicenseeName(0x21), "Tokai Engeneering (SUNSOFT?)");
    EXPECT_EQ(LicenseeName(0x4D), "Malibu Games (T*HQ Inc.) / Black Pearl");
    EXPECT_EQ(LicenseeName(0x9B), "TECMO (2)");
    EXPECT_EQ(LicenseeName(0xC2), "Kemco (3) ????");
    EXPECT_EQ(LicenseeName(0xE4), "T&ESoft");
    EXPECT_EQ(LicenseeName(0xFF), "Hudson Soft");
    EXPECT_EQ(LicenseeName(0x02), "Unknown Company (ID:0x02)");
    EXPECT_EQ(LicenseeName(0xAB), "Unknown Company (ID:0xAB)");
}

TEST(SpecialChipsName, NamedTypesThenTheUnknownForm) {
    EXPECT_EQ(SpecialChipsName(0), "(None)");
    EXPECT_EQ(SpecialChipsName(5), "DSP1 and SRAM");
    EXPECT_EQ(SpecialChipsName(6), "Super FX");
    EXPECT_EQ(SpecialChipsName(7), "Unknown (ID:0x07)");
    EXPECT_EQ(SpecialChipsName(0xF5), "Unknown (ID:0xF5)");
}

} // namespace
} // namespace quillet
