// What the settings file keeps, in the numbers and names it keeps it in: the pad's key
// bindings and the sections of the images that no longer warn. Portable: the window code
// reads and writes the file, this says what goes in it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::app {

inline constexpr const char* kSettingsFile = "QUILLET.INI";

// The hot-key control's modifier flags (the control's own values).
inline constexpr std::uint8_t kHotKeyShift = 0x01;
inline constexpr std::uint8_t kHotKeyControl = 0x02;
inline constexpr std::uint8_t kHotKeyAlt = 0x04;
inline constexpr std::uint8_t kHotKeyExtended = 0x08;

// A binding's modifier entry: 8 extended, 4 Alt, 2 Ctrl, 1 Shift, to and from the control's
// flags. Other bits of the number are ignored.
std::uint8_t IntToModifiers(int number);
int ModifiersToInt(std::uint8_t modifiers);

// A modifier entry of this value keeps the modifiers the field has.
inline constexpr int kKeepModifiers = 255;

// A binding's key entry, the shortcut number: the key code in the low byte, and 0x2000 for
// Shift, 0x4000 for Ctrl, 0x8000 for Alt. The extended flag has no place in it.
struct HotKeyBinding {
    std::uint8_t key = 0;
    std::uint8_t modifiers = 0;
    bool operator==(const HotKeyBinding&) const = default;
};
int ShortcutNumber(HotKeyBinding binding);
// The key and the modifiers that a shortcut number gives: Shift, Ctrl and Alt, never the
// extended flag. The number must lie in 0 to 65535 (ERangeError otherwise).
HotKeyBinding FromShortcutNumber(std::int64_t number);

// The settings section that silences the warning for an image: its title up to the first
// zero byte, blanks included, each byte as the character of the same number. None for a title that
// would not stay one section name in the file: one with a line break, another control character or
// "]", which would end the name early or start new lines of the file.
std::optional<std::string> ImageSection(const std::string& title);

// The DAT files the section of the list names, in the order of their entries "File1",
// "File2", ..., from the section as the profile functions give it ("key=value" strings, each
// ended by a zero byte). Its "Count" is not trusted: a count of billions would mean billions
// of reads. The entries that are there decide, whatever their numbers.
std::vector<std::string> DatListFromSection(std::string_view section);

} // namespace quillet::app
