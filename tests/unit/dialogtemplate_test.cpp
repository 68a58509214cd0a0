// The in-memory dialog template, read back field by field as the dialog manager reads it: the
// header with and without a font, and controls that start on DWORD boundaries whatever the
// lengths of the strings before them.
#include "platform/win32/dialogtemplate.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kelmo::win32;

namespace {

constexpr std::uint32_t popupStyle = 0x80000000, childStyle = 0x40000000;

// Reads a template the way the dialog manager does.
class TemplateReader {
public:
    explicit TemplateReader(const DialogTemplate& t)
        : data_(static_cast<const std::uint8_t*>(t.get())), size_(t.sizeInBytes()) {}

    std::uint16_t word() {
        EXPECT_LE(at_ + 2, size_) << "read past the end";
        std::uint16_t value = 0;
        if (at_ + 2 <= size_) std::memcpy(&value, data_ + at_, 2);
        at_ += 2;
        return value;
    }
    std::uint32_t dword() {
        const std::uint32_t low = word();
        return low | static_cast<std::uint32_t>(word()) << 16;
    }
    std::wstring string() {
        std::wstring text;
        while (std::uint16_t c = word())
            text += static_cast<wchar_t>(c);
        return text;
    }
    // A class or menu: a string, or 0xFFFF and an atom (returned as "#atom").
    std::wstring stringOrAtom() {
        const std::size_t start = at_;
        if (word() == 0xFFFF) return L"#" + std::to_wstring(word());
        at_ = start;
        return string();
    }
    void alignToDword() { at_ = (at_ + 3) & ~std::size_t{3}; }
    std::size_t offset() const { return at_; }
    bool atEnd() const { return at_ == size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

struct Header {
    std::uint32_t style = 0, exStyle = 0;
    std::uint16_t count = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::wstring menu, windowClass, caption;
};

Header readHeader(TemplateReader& r) {
    Header h;
    EXPECT_EQ(r.word(), 1);      // version
    EXPECT_EQ(r.word(), 0xFFFF); // extended signature
    EXPECT_EQ(r.dword(), 0u);    // help id
    h.exStyle = r.dword();
    h.style = r.dword();
    h.count = r.word();
    h.x = static_cast<std::int16_t>(r.word());
    h.y = static_cast<std::int16_t>(r.word());
    h.cx = static_cast<std::int16_t>(r.word());
    h.cy = static_cast<std::int16_t>(r.word());
    h.menu = r.stringOrAtom();
    h.windowClass = r.stringOrAtom();
    h.caption = r.string();
    return h;
}

DialogFrame frame(std::optional<DialogFont> font) {
    return {L"Kelmo_Box", {-3, 4, 250, 92}, popupStyle, 0x8, std::move(font), {}};
}

} // namespace

TEST(DialogTemplate, HeaderCarriesTheFontOnlyWithSetFont) {
    {
        DialogTemplate t(frame(DialogFont{L"MS UI Gothic", 11, 700, true, 128}));
        TemplateReader r(t);
        Header h = readHeader(r);
        EXPECT_EQ(h.style, popupStyle | DialogTemplate::setFontStyle);
        EXPECT_EQ(h.exStyle, 0x8u);
        EXPECT_EQ(h.count, 0);
        EXPECT_EQ(h.x, -3);
        EXPECT_EQ(h.cy, 92);
        EXPECT_EQ(h.menu, L"");
        EXPECT_EQ(h.windowClass, L"");
        EXPECT_EQ(h.caption, L"Kelmo_Box");
        EXPECT_EQ(r.word(), 11);     // point size
        EXPECT_EQ(r.word(), 700);    // weight
        EXPECT_EQ(r.word(), 0x8001); // italic in the low byte, the charset in the high byte
        EXPECT_EQ(r.string(), L"MS UI Gothic");
        EXPECT_TRUE(r.atEnd());
    }
    {
        // A caller's DS_SETFONT without a font would make the dialog manager read a font
        // block that is not there.
        DialogFrame bare = frame(std::nullopt);
        bare.style |= DialogTemplate::setFontStyle;
        bare.windowClass = L"KelmoViewer";
        DialogTemplate t(bare);
        TemplateReader r(t);
        Header h = readHeader(r);
        EXPECT_EQ(h.style, popupStyle);
        EXPECT_EQ(h.windowClass, L"KelmoViewer");
        EXPECT_TRUE(r.atEnd());
    }
}

TEST(DialogTemplate, ControlsStartOnDwordBoundariesAndReadBackWhole) {
    // Odd and even string lengths before each control shift the alignment every time.
    const std::vector<DialogControl> controls = {
        {ControlClass::label(), 100, L"abc", {7, 7, 180, 58}, 0x1},
        {ControlClass::edit(), 101, L"", {7, 71, 236, 13}, 0x80},
        {ControlClass::named(L"SysListView32"), 0x12345, L"ab", {1, 2, 3, 4}, 0, 0x200},
        {ControlClass::button(), 2, L"\u30AD\u30E3\u30F3\u30BB\u30EB", {193, 25, 50, 14}, 0},
    };
    for (bool withFont : {true, false}) {
        DialogTemplate t(withFont ? frame(DialogFont{L"Tahoma", 8, 400, false, 1})
                                  : frame(std::nullopt));
        for (const DialogControl& c : controls)
            t.add(c);
        EXPECT_EQ(t.controlCount(), controls.size());
        TemplateReader r(t);
        EXPECT_EQ(readHeader(r).count, controls.size());
        if (withFont) {
            r.word(), r.word(), r.word();
            r.string();
        }
        for (const DialogControl& c : controls) {
            r.alignToDword();
            SCOPED_TRACE(c.id);
            EXPECT_EQ(r.offset() % 4, 0u);
            EXPECT_EQ(r.dword(), 0u); // help id
            EXPECT_EQ(r.dword(), c.exStyle);
            EXPECT_EQ(r.dword(), c.style | childStyle);
            for (std::int16_t value : {c.rect.x, c.rect.y, c.rect.cx, c.rect.cy})
                EXPECT_EQ(static_cast<std::int16_t>(r.word()), value);
            EXPECT_EQ(r.dword(), c.id);
            EXPECT_EQ(r.stringOrAtom(), c.windowClass.isAtom()
                                            ? L"#" + std::to_wstring(c.windowClass.atom())
                                            : c.windowClass.name());
            EXPECT_EQ(r.string(), c.text);
            EXPECT_EQ(r.word(), 0); // no creation data
        }
        EXPECT_TRUE(r.atEnd());
    }
}
