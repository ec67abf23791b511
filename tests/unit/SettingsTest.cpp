// What the settings file keeps for the pad's bindings and the silenced images.
#include "app/Settings.h"
#include "base/Exceptions.h"

#include <gtest/gtest.h>

namespace quillet::app {
namespace {

TEST(Settings, ShortcutNumbersKeepKeyShiftCtrlAndAltButNeverTheExtendedFlag) {
    const struct {
        HotKeyBinding binding;
        int number;
    } cases[] = {
        {{'A', kHotKeyControl}, 16449},
        {{0x26, kHotKeyControl | kHotKeyExtended}, 16422}, // Ctrl+Up: its entry says 10
        {{0x26, kHotKeyShift | kHotKeyControl | kHotKeyAlt | kHotKeyExtended}, 0xE026},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShortcutNumber(c.binding), c.number);
        const HotKeyBinding back = FromShortcutNumber(c.number);
        EXPECT_EQ(back.key, c.binding.key);
        EXPECT_EQ(back.modifiers, c.binding.modifiers & ~kHotKeyExtended) << c.number;
    }
    EXPECT_EQ(FromShortcutNumber(65535), (HotKeyBinding{0xFF, 0x07}));
    for (const std::int64_t bad : {-5LL, 65536LL})
        EXPECT_THROW(FromShortcutNumber(bad), ERangeError) << bad;
}

TEST(Settings, ImageSectionsAreTitlesUpToTheirZeroByteUnlessTheyWouldBreakTheFile) {
    EXPECT_EQ(ImageSection("SHORT                "), "SHORT                ");
    EXPECT_EQ(ImageSection(std::string("OTHER\0GAME   ", 13)), "OTHER");
    EXPECT_EQ(ImageSection("[MAIN = \xC4\xD6 ;#"), "[MAIN = \xC3\x84\xC3\x96 ;#");
    for (const char* unsafe :
         {"X]\r\n[Main]\r\nKeyUp=1", "A]B", "LINE\nBREAK", "CR\rONLY", "TAB\tHERE", "DEL\x7F"})
        EXPECT_EQ(ImageSection(unsafe), std::nullopt) << unsafe;
    // What follows the zero byte never counts.
    EXPECT_EQ(ImageSection(std::string("SAFE\0]\r\n", 8)), "SAFE");
}

TEST(Settings, TheDatListIsWhatItsEntriesSayWhateverItsCount) {
    using namespace std::string_view_literals;
    // As the profile functions give a section: entries ended by zero bytes, then one more.
    const std::string_view section = "Count=4000000000\0File2=b.dat\0file10=c.dat\0"
                                     "File1=a.dat\0File3=\0Files=x\0File=y\0"
                                     "File12345678901=z\0junk\0FILE7=d.dat\0\0"sv;
    EXPECT_EQ(DatListFromSection(section),
              (std::vector<std::string>{"a.dat", "b.dat", "d.dat", "c.dat"}));
    EXPECT_TRUE(DatListFromSection("Count=3\0\0"sv).empty());
    EXPECT_TRUE(DatListFromSection(""sv).empty());
    EXPECT_EQ(DatListFromSection("File1=a=b.dat"sv), std::vector<std::string>{"a=b.dat"});
}

} // namespace
} // namespace quillet::app
