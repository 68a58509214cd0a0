// Writes DLGTEMPLATEEX and its DLGITEMTEMPLATEEX items word by word: each item starts on a
// DWORD boundary, strings are zero-terminated UTF-16, a class or a menu is either a string or
// 0xFFFF followed by its atom, and the font block follows the caption only under DS_SETFONT.
#include "platform/win32/dialogtemplate.h"

#include <limits>
#include <stdexcept>

namespace kelmo::win32 {

namespace {
constexpr std::uint16_t ExtendedVersion = 1;
constexpr std::uint16_t ExtendedSignature = 0xFFFF;
constexpr std::uint16_t OrdinalMarker = 0xFFFF;
constexpr std::uint32_t ChildStyle = 0x40000000; // WS_CHILD
} // namespace

DialogTemplate::DialogTemplate(const DialogFrame& frame) {
    const std::uint32_t style =
        frame.font ? frame.style | SetFontStyle : frame.style & ~SetFontStyle;
    addWord(ExtendedVersion);
    addWord(ExtendedSignature);
    addDword(0); // help id
    addDword(frame.exStyle);
    addDword(style);
    addWord(0); // the control count, raised by add()
    addRect(frame.rect);
    addWord(0); // no menu
    if (frame.windowClass.empty())
        addWord(0);
    else
        addString(frame.windowClass);
    addString(frame.caption);
    if (frame.font) {
        addWord(frame.font->pointSize);
        addWord(frame.font->weight);
        addWord(
            static_cast<std::uint16_t>((frame.font->italic ? 1 : 0) | (frame.font->charset << 8)));
        addString(frame.font->face);
    }
}

DialogTemplate& DialogTemplate::add(const DialogControl& control) {
    if (controlCount() == std::numeric_limits<std::uint16_t>::max())
        throw std::length_error("a dialog template holds at most 65535 controls");
    alignToDword();
    addDword(0); // help id
    addDword(control.exStyle);
    addDword(control.style | ChildStyle);
    addRect(control.rect);
    addDword(control.id);
    addClass(control.windowClass);
    addString(control.text);
    addWord(0); // no creation data
    ++words_[ControlCountAt];
    return *this;
}

void DialogTemplate::addDword(std::uint32_t value) {
    addWord(static_cast<std::uint16_t>(value & 0xFFFF));
    addWord(static_cast<std::uint16_t>(value >> 16));
}

void DialogTemplate::addRect(const DialogRect& rect) {
    for (std::int16_t value : {rect.x, rect.y, rect.cx, rect.cy})
        addWord(static_cast<std::uint16_t>(value));
}

void DialogTemplate::addString(const std::wstring& text) {
    for (wchar_t c : text)
        addWord(static_cast<std::uint16_t>(c));
    addWord(0);
}

void DialogTemplate::addClass(const ControlClass& windowClass) {
    if (windowClass.isAtom()) {
        addWord(OrdinalMarker);
        addWord(windowClass.atom());
    } else {
        addString(windowClass.name());
    }
}

void DialogTemplate::alignToDword() {
    if (words_.size() % 2 != 0) addWord(0);
}

} // namespace kelmo::win32
