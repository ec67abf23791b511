#include "app/Settings.h"

#include "base/Checked.h"
#include "base/Utf8.h"

#include <algorithm>
#include <utility>

namespace quillet::app {

namespace {

// The shortcut number keeps its modifiers above the key code.
constexpr int kShortcutShift = 0x2000;
constexpr int kShortcutCtrl = 0x4000;
constexpr int kShortcutAlt = 0x8000;

// The modifier entry's numbers, which happen to be the control's flags.
constexpr int kEntryShift = 1;
constexpr int kEntryCtrl = 2;
constexpr int kEntryAlt = 4;
constexpr int kEntryExtended = 8;

} // namespace

std::uint8_t IntToModifiers(int number) {
    std::uint8_t modifiers = 0;
    if (number & kEntryExtended)
        modifiers |= kHotKeyExtended;
    if (number & kEntryAlt)
        modifiers |= kHotKeyAlt;
    if (number & kEntryCtrl)
        modifiers |= kHotKeyControl;
    if (number & kEntryShift)
        modifiers |= kHotKeyShift;
    return modifiers;
}

int ModifiersToInt(std::uint8_t modifiers) {
    int number = 0;
    if (modifiers & kHotKeyExtended)
        number |= kEntryExtended;
    if (modifiers & kHotKeyAlt)
        number |= kEntryAlt;
    if (modifiers & kHotKeyControl)
        number |= kEntryCtrl;
    if (modifiers & kHotKeyShift)
        number |= kEntryShift;
    return number;
}

int ShortcutNumber(HotKeyBinding binding) {
    int number = binding.key;
    if (binding.modifiers & kHotKeyShift)
        number |= kShortcutShift;
    if (binding.modifiers & kHotKeyControl)
        number |= kShortcutCtrl;
    if (binding.modifiers & kHotKeyAlt)
        number |= kShortcutAlt;
    return number;
}

HotKeyBinding FromShortcutNumber(std::int64_t number) {
    const auto shortcut = static_cast<std::int32_t>(
        RangeChecked<std::int64_t>(number, std::int64_t{0}, std::int64_t{65535}));
    HotKeyBinding binding;
    binding.key = static_cast<std::uint8_t>(shortcut & 0xFF);
    if (shortcut & kShortcutShift)
        binding.modifiers |= kHotKeyShift;
    if (shortcut & kShortcutCtrl)
        binding.modifiers |= kHotKeyControl;
    if (shortcut & kShortcutAlt)
        binding.modifiers |= kHotKeyAlt;
    return binding;
}

std::optional<std::string> ImageSection(const std::string& title) {
    std::string section = title.substr(0, title.find('\0'));
    for (const char c : section) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == ']')
            return std::nullopt;
    }
    // The profile functions take UTF-8 text: bytes that are not would all become the same
    // replacement character, and titles would share one section.
    return BytesAsText(section);
}

std::vector<std::string> DatListFromSection(std::string_view section) {
    std::vector<std::pair<std::uint64_t, std::string>> numbered;
    while (!section.empty()) {
        const std::size_t end = std::min(section.find('\0'), section.size());
        const std::string_view entry = section.substr(0, end);
        section.remove_prefix(std::min(end + 1, section.size()));
        const std::size_t equals = entry.find('=');
        if (equals == std::string_view::npos || equals + 1 == entry.size())
            continue;
        // Key names are not told apart by case, as everywhere in the file.
        const std::string_view key = entry.substr(0, equals);
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        const bool file = key.size() > 4 && lower(key[0]) == 'f' && lower(key[1]) == 'i' &&
                          lower(key[2]) == 'l' && lower(key[3]) == 'e';
        if (!file || key.size() > 4 + 9 ||
            key.substr(4).find_first_not_of("0123456789") != std::string_view::npos)
            continue;
        std::uint64_t number = 0;
        for (const char digit : key.substr(4))
            number = number * 10 + static_cast<std::uint64_t>(digit - '0');
        numbered.emplace_back(number, std::string(entry.substr(equals + 1)));
    }
    std::stable_sort(numbered.begin(), numbered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> paths;
    for (auto& [number, path] : numbered)
        paths.push_back(std::move(path));
    return paths;
}

} // namespace quillet::app
