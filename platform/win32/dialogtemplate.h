// DialogTemplate: an extended dialog template (DLGTEMPLATEEX with its DLGITEMTEMPLATEEX items)
// built in memory, for the dialogs Kelmo lays out in code (the input box, the viewer, the
// runner). Free of Windows headers so its layout is checked natively; callers pass the
// window-style constants of <windows.h> and hand get() to the dialog functions as a
// LPCDLGTEMPLATEW.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelmo::win32 {

// A control's window class: a predefined class by its atom, or any registered class by name.
class ControlClass {
public:
    static ControlClass button() { return ControlClass(0x0080); }
    static ControlClass edit() { return ControlClass(0x0081); }
    static ControlClass label() { return ControlClass(0x0082); } // Static
    static ControlClass listBox() { return ControlClass(0x0083); }
    static ControlClass scrollBar() { return ControlClass(0x0084); }
    static ControlClass comboBox() { return ControlClass(0x0085); }
    static ControlClass named(std::wstring name) { return ControlClass(std::move(name)); }

    bool isAtom() const { return atom_ != 0; }
    std::uint16_t atom() const { return atom_; }
    const std::wstring& name() const { return name_; }

private:
    explicit ControlClass(std::uint16_t atom) : atom_(atom) {}
    explicit ControlClass(std::wstring name) : name_(std::move(name)) {}

    std::uint16_t atom_ = 0;
    std::wstring name_;
};

// Position and size in dialog units.
struct DialogRect {
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
};

struct DialogFont {
    std::wstring face;
    std::uint16_t pointSize = 9;
    std::uint16_t weight = 400; // FW_NORMAL
    bool italic = false;
    std::uint8_t charset = 1; // DEFAULT_CHARSET: the system's
};

struct DialogControl {
    ControlClass windowClass;
    std::uint32_t id = 0;
    std::wstring text;
    DialogRect rect;
    std::uint32_t style = 0; // WS_CHILD is always added; WS_VISIBLE is the caller's choice
    std::uint32_t exStyle = 0;
};

struct DialogFrame {
    std::wstring caption;
    DialogRect rect;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    // The font of the dialog and its controls; DS_SETFONT is set when there is one and cleared
    // when there is none, as the template's layout depends on it.
    std::optional<DialogFont> font;
    // Empty: the standard dialog class.
    std::wstring windowClass;
};

class DialogTemplate {
public:
    // Style bit that says the template carries a font.
    static constexpr std::uint32_t SetFontStyle = 0x40; // DS_SETFONT

    explicit DialogTemplate(const DialogFrame& frame);

    // Appends a control; the controls' order is their Z and tab order. At most 65535.
    DialogTemplate& add(const DialogControl& control);

    // The template, valid until the next add(); DWORD-aligned.
    const void* get() const { return words_.data(); }
    std::size_t sizeInBytes() const { return words_.size() * sizeof(std::uint16_t); }
    std::uint16_t controlCount() const { return words_[ControlCountAt]; }

private:
    // Word offset of cDlgItems in DLGTEMPLATEEX.
    static constexpr std::size_t ControlCountAt = 8;

    void addWord(std::uint16_t value) { words_.push_back(value); }
    void addDword(std::uint32_t value);
    void addRect(const DialogRect& rect);
    void addString(const std::wstring& text);
    void addClass(const ControlClass& windowClass);
    void alignToDword();

    std::vector<std::uint16_t> words_;
};

} // namespace kelmo::win32
