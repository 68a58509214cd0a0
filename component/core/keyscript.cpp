// The key-script grammar: the parser and Send's piece cutting. The parser walks the script once,
// keeping the stack of open groups and the run of modifiers written before the next key, and
// emits press/key/release actions. The cutter finds where a piece ends and how Send delivers it.
#include "component/core/keyscript.h"

#include "base/error.h"
#include "base/text.h"

#include <algorithm>
#include <optional>
#include <string>

namespace kelmo {
namespace {

using platform::KeyAction;
using platform::Modifier;

constexpr std::uint16_t ReturnKey = 0x0D;
constexpr std::size_t MaxGroupDepth = 3;
constexpr std::size_t MaxQuotedLength = 40;

struct NamedKey {
    std::string_view name;
    std::uint16_t virtualKey;
    bool extended;
};

constexpr NamedKey NamedKeys[] = {
    {"BACKSPACE", 0x08, false}, {"BS", 0x08, false},       {"BKSP", 0x08, false},
    {"BREAK", 0x03, true},      {"CAPSLOCK", 0x14, false}, {"CLEAR", 0x0C, false},
    {"DELETE", 0x2E, true},     {"DEL", 0x2E, true},       {"DOWN", 0x28, true},
    {"END", 0x23, true},        {"ENTER", 0x0D, false},    {"ESC", 0x1B, false},
    {"ESCAPE", 0x1B, false},    {"HELP", 0x2F, false},     {"HOME", 0x24, true},
    {"INSERT", 0x2D, true},     {"INS", 0x2D, true},       {"LEFT", 0x25, true},
    {"NUMLOCK", 0x90, true},    {"PGDN", 0x22, true},      {"PGUP", 0x21, true},
    {"PRTSC", 0x2C, true},      {"RIGHT", 0x27, true},     {"SCROLLLOCK", 0x91, false},
    {"TAB", 0x09, false},       {"UP", 0x26, true},        {"F1", 0x70, false},
    {"F2", 0x71, false},        {"F3", 0x72, false},       {"F4", 0x73, false},
    {"F5", 0x74, false},        {"F6", 0x75, false},       {"F7", 0x76, false},
    {"F8", 0x77, false},        {"F9", 0x78, false},       {"F10", 0x79, false},
    {"F11", 0x7A, false},       {"F12", 0x7B, false},      {"F13", 0x7C, false},
    {"F14", 0x7D, false},       {"F15", 0x7E, false},      {"F16", 0x7F, false},
    {"ADD", 0x6B, false},       {"SUBTRACT", 0x6D, false}, {"MULTIPLY", 0x6A, false},
    {"DIVIDE", 0x6F, true},
};

bool isHighSurrogate(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(wchar_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

std::optional<Modifier> modifierOf(wchar_t c) {
    switch (c) {
    case L'+':
        return Modifier::Shift;
    case L'^':
        return Modifier::Ctrl;
    case L'%':
        return Modifier::Alt;
    default:
        return std::nullopt;
    }
}

wchar_t asciiUpper(wchar_t c) {
    return (c >= L'a' && c <= L'z') ? wchar_t(c - 32) : c;
}

std::optional<NamedKey> findNamedKey(std::wstring_view name) {
    for (const NamedKey& key : NamedKeys) {
        if (key.name.size() != name.size()) continue;
        if (std::equal(name.begin(), name.end(), key.name.begin(),
                       [](wchar_t a, char b) { return asciiUpper(a) == wchar_t(b); }))
            return key;
    }
    return std::nullopt;
}

// The single character a brace name stands for, when it is one character.
std::optional<char32_t> singleCharacter(std::wstring_view name) {
    if (name.size() == 1) return char32_t(name[0]);
    if (name.size() == 2 && isHighSurrogate(name[0]) && isLowSurrogate(name[1]))
        return char32_t(0x10000 + ((name[0] - 0xD800) << 10) + (name[1] - 0xDC00));
    return std::nullopt;
}

class Parser {
public:
    explicit Parser(std::wstring_view script) : script_(script) {}

    std::vector<KeyAction> run() {
        while (pos_ < script_.size())
            step();
        if (!groups_.empty())
            fail(L"\"(\" at character " + position(groups_.back().openedAt) + L" is not closed");
        // A run of modifiers at the very end has no key to act on: it presses nothing.
        return std::move(actions_);
    }

private:
    struct Group {
        std::size_t openedAt;
        std::size_t firstAction;
        std::vector<Modifier> modifiers;
    };

    void step() {
        const wchar_t c = script_[pos_];
        if (auto modifier = modifierOf(c)) return addModifier(*modifier);
        switch (c) {
        case L'(':
            return openGroup();
        case L')':
            return closeGroup();
        case L'{':
            return bracedKey();
        case L'}':
            fail(L"\"}\" at character " + position(pos_) + L" closes no \"{\" in " +
                 quoted(excerptAround(pos_)));
        case L'~':
            return plainKey(KeyAction::key(ReturnKey, false), 1);
        case L'\r': {
            const bool crlf = pos_ + 1 < script_.size() && script_[pos_ + 1] == L'\n';
            return plainKey(KeyAction::key(ReturnKey, false), crlf ? 2 : 1);
        }
        case L'\n':
            return plainKey(KeyAction::key(ReturnKey, false), 1);
        default:
            return plainCharacter();
        }
    }

    void addModifier(Modifier modifier) {
        if (isHeld(modifier))
            fail(L"the modifier \"" + std::wstring(1, script_[pos_]) + L"\" at character " +
                 position(pos_) + L" is already held in " + quoted(excerptAround(pos_)));
        if (run_.empty()) runStart_ = pos_;
        run_.push_back(modifier);
        ++pos_;
    }

    bool isHeld(Modifier modifier) const {
        auto holds = [modifier](const std::vector<Modifier>& list) {
            return std::find(list.begin(), list.end(), modifier) != list.end();
        };
        return holds(run_) || std::any_of(groups_.begin(), groups_.end(),
                                          [&](const Group& g) { return holds(g.modifiers); });
    }

    void openGroup() {
        if (groups_.size() == MaxGroupDepth)
            fail(L"\"(\" at character " + position(pos_) + L" opens a fourth level of groups in " +
                 quoted(excerptAround(pos_)));
        groups_.push_back({pos_, actions_.size(), run_});
        for (Modifier m : run_)
            actions_.push_back(KeyAction::press(m));
        run_.clear();
        ++pos_;
    }

    void closeGroup() {
        if (!run_.empty())
            fail(L"the modifier " + quoted(script_.substr(runStart_, pos_ - runStart_)) +
                 L" at character " + position(runStart_) + L" has no key before \")\"");
        if (groups_.empty())
            fail(L"\")\" at character " + position(pos_) + L" closes no \"(\" in " +
                 quoted(excerptAround(pos_)));
        Group group = std::move(groups_.back());
        groups_.pop_back();
        const bool typedNothing = actions_.size() == group.firstAction + group.modifiers.size();
        if (typedNothing) {
            actions_.resize(group.firstAction);
        } else {
            for (auto m = group.modifiers.rbegin(); m != group.modifiers.rend(); ++m)
                actions_.push_back(KeyAction::release(*m));
        }
        ++pos_;
    }

    void plainKey(KeyAction key, std::size_t length) {
        emit(key);
        pos_ += length;
    }

    void plainCharacter() {
        const std::size_t length = (isHighSurrogate(script_[pos_]) && pos_ + 1 < script_.size() &&
                                    isLowSurrogate(script_[pos_ + 1]))
                                       ? 2
                                       : 1;
        emit(KeyAction::text(*singleCharacter(script_.substr(pos_, length))));
        pos_ += length;
    }

    // "{name}" or "{name count}". When "{" is directly followed by "}" and another "}" comes
    // later, that first "}" is the name: "{}}", "{} 3}".
    void bracedKey() {
        const std::size_t open = pos_;
        std::size_t close = std::wstring_view::npos;
        if (script_.substr(open + 1).starts_with(L'}')) close = script_.find(L'}', open + 2);
        if (close == std::wstring_view::npos) close = script_.find(L'}', open + 1);
        if (close == std::wstring_view::npos)
            fail(L"\"{\" at character " + position(open) + L" is not closed in " +
                 quoted(script_.substr(open)));

        const std::wstring_view whole = script_.substr(open, close - open + 1);
        const std::wstring_view inside = whole.substr(1, whole.size() - 2);
        const std::size_t blank = inside.find(L' ');
        const std::wstring_view name = inside.substr(0, blank);
        KeyAction key = keyNamed(name, whole, open);
        if (blank != std::wstring_view::npos)
            key.repeat = repeatCount(inside.substr(blank), whole, open);
        emit(key);
        pos_ = close + 1;
    }

    KeyAction keyNamed(std::wstring_view name, std::wstring_view whole, std::size_t at) const {
        if (name.empty())
            fail(L"empty key name " + quoted(whole) + L" at character " + position(at));
        if (auto ch = singleCharacter(name)) {
            // A line break in braces is Enter, as it is outside them.
            if (*ch == U'\r' || *ch == U'\n') return KeyAction::key(ReturnKey, false);
            return KeyAction::text(*ch);
        }
        if (auto named = findNamedKey(name))
            return KeyAction::key(named->virtualKey, named->extended);
        fail(L"unknown key name " + quoted(whole) + L" at character " + position(at));
    }

    // The text after the name: blanks, then decimal digits up to the closing brace.
    std::uint32_t repeatCount(std::wstring_view text, std::wstring_view whole,
                              std::size_t at) const {
        const std::wstring_view digits =
            text.substr(std::min(text.find_first_not_of(L' '), text.size()));
        const bool numeric =
            !digits.empty() && std::all_of(digits.begin(), digits.end(),
                                           [](wchar_t c) { return c >= L'0' && c <= L'9'; });
        if (!numeric)
            fail(L"the repeat count in " + quoted(whole) + L" at character " + position(at) +
                 L" is not a number");
        std::uint64_t value = 0;
        for (wchar_t digit : digits) {
            value = value * 10 + std::uint64_t(digit - L'0');
            if (value > MaxRepeatCount)
                fail(L"the repeat count in " + quoted(whole) + L" at character " + position(at) +
                     L" is larger than " + std::to_wstring(MaxRepeatCount));
        }
        return std::uint32_t(value);
    }

    // A key with the pending run of modifiers around it. A count of 0 presses nothing at all.
    void emit(KeyAction key) {
        if (key.repeat > 0) {
            for (Modifier m : run_)
                actions_.push_back(KeyAction::press(m));
            actions_.push_back(key);
            for (auto m = run_.rbegin(); m != run_.rend(); ++m)
                actions_.push_back(KeyAction::release(*m));
        }
        run_.clear();
    }

    std::wstring_view excerptAround(std::size_t at) const {
        const std::size_t from = at - std::min<std::size_t>(at, 10);
        return script_.substr(from, at - from + 11);
    }

    // The text in quotes, shortened when long (never between the halves of a surrogate pair).
    static std::wstring quoted(std::wstring_view text) {
        if (text.size() <= MaxQuotedLength) return L"\"" + std::wstring(text) + L"\"";
        std::size_t length = MaxQuotedLength;
        if (isHighSurrogate(text[length - 1])) --length;
        return L"\"" + std::wstring(text.substr(0, length)) + L"...\"";
    }

    static std::wstring position(std::size_t index) { return std::to_wstring(index + 1); }

    [[noreturn]] static void fail(const std::wstring& detail) {
        errors::raise(errors::InvalidCall, detail);
    }

    std::wstring_view script_;
    std::size_t pos_ = 0;
    std::vector<Group> groups_;
    std::vector<Modifier> run_;
    std::size_t runStart_ = 0;
    std::vector<KeyAction> actions_;
};

} // namespace

std::vector<KeyAction> parseKeyScript(std::wstring_view script) {
    return Parser(script).run();
}

namespace {

constexpr std::int32_t MaxPosition = 32767; // positions are 16-bit
constexpr std::uint8_t VkShift = 16, VkCtrl = 17, VkAlt = 18, VkEsc = 27, VkTab = 9;

bool isModifier(std::optional<wchar_t> c) {
    return c == L'+' || c == L'%' || c == L'^';
}

// The UTF-16 unit at 1-based position i; past the end, none.
std::optional<wchar_t> unitAt(const std::wstring& script, std::int32_t i) {
    if (i < 1 || static_cast<std::size_t>(i) > script.size()) return std::nullopt;
    return script[static_cast<std::size_t>(i) - 1];
}

// Moves i to the next position and appends its unit (nothing past the end) to the piece. A
// piece that is still growing at the 16-bit limit is an unclosed group: an overflow.
std::optional<wchar_t> appendNext(const std::wstring& script, std::int32_t& i,
                                  std::wstring& piece) {
    if (i >= MaxPosition) errors::raise(errors::Overflow, L"unclosed ( or { in the key script");
    const auto unit = unitAt(script, ++i);
    if (unit) piece += *unit;
    return unit;
}

// Appends the characters after position i up to and including the closing "}" of the brace
// group whose "{" is at i, as the parser reads it: "{}}" and "{} 3}" name "}".
void appendBraceGroup(const std::wstring& script, std::int32_t& i, std::wstring& piece) {
    const bool namesClosingBrace =
        unitAt(script, i + 1) == L'}' &&
        script.find(L'}', static_cast<std::size_t>(i) + 1) != std::wstring::npos;
    if (namesClosingBrace) appendNext(script, i, piece);
    while (appendNext(script, i, piece) != L'}') {
    }
}

// Appends the characters after position i up to and including the ")" that closes the group
// opened at i; inner groups and brace groups (which may hold "(" or ")") belong to it.
void appendGroup(const std::wstring& script, std::int32_t& i, std::wstring& piece) {
    for (int depth = 1; depth > 0;) {
        const auto unit = appendNext(script, i, piece);
        if (unit == L'{') appendBraceGroup(script, i, piece);
        if (unit == L'(') ++depth;
        if (unit == L')') --depth;
    }
}

// A key written as two UTF-16 units: CR LF (one Enter) or a surrogate pair.
bool continuesKey(std::optional<wchar_t> first, std::optional<wchar_t> next) {
    if (!first || !next) return false;
    return (*first == L'\r' && *next == L'\n') ||
           (isHighSurrogate(*first) && isLowSurrogate(*next));
}

std::uint8_t modifierKey(wchar_t c) {
    return c == L'%' ? VkAlt : c == L'+' ? VkShift : VkCtrl;
}

// The chord of `key` held with the modifiers among the last two characters of `before`: the
// first of them, then the second if it is another modifier.
Chord chordAfter(std::wstring_view before, std::uint8_t key) {
    const std::wstring_view window =
        before.substr(before.size() - std::min<std::size_t>(before.size(), 2));
    if (window.empty() || !isModifier(window[0])) return {key, {}, {}};
    if (window.size() == 2 && window[1] != window[0] && isModifier(window[1]))
        return {modifierKey(window[0]), modifierKey(window[1]), key};
    return {modifierKey(window[0]), key, {}};
}

// A brace piece: the keys Send presses itself rather than have the injector type them.
void classifyBracePiece(Piece& piece) {
    const std::wstring& text = piece.text;
    const std::wstring_view view = text;
    const bool esc = text::endsWithNoCase(text, L"{esc}");
    if (text::endsWithNoCase(text, L"{PRTSC}")) {
        piece.kind = Piece::Kind::PrintScreen;
        piece.scan = text.size() > 7 && text[text.size() - 8] == L'%' ? 0 : 1;
    } else if (esc || text::endsWithNoCase(text, L"{tab}")) {
        piece.kind = Piece::Kind::Chord;
        piece.chord = chordAfter(view.substr(0, text.size() - 5), esc ? VkEsc : VkTab);
    } else if (text::containsNoCase(text, L"{tab ")) {
        piece.kind = Piece::Kind::RepeatedChord;
        const std::size_t blank = text.find(L' ');
        piece.count = text.substr(blank + 1, text.size() - 1 - (blank + 1));
        piece.chord = chordAfter(view.substr(0, text.find(L'{')), VkTab);
    }
}

} // namespace

Piece nextPiece(const std::wstring& script, std::int32_t& i) {
    Piece piece;
    auto last = unitAt(script, i);
    if (last) piece.text += *last;
    while (isModifier(last))
        last = appendNext(script, i, piece.text);
    if (last == L'(') {
        appendGroup(script, i, piece.text);
    } else if (last == L'{') {
        appendBraceGroup(script, i, piece.text);
        classifyBracePiece(piece);
    } else if (continuesKey(last, unitAt(script, i + 1))) {
        appendNext(script, i, piece.text);
    }
    return piece;
}

} // namespace kelmo
