// The clipboard on Win32: setting text, and saving every format on it into a snapshot that can
// be put back, as often as needed, later.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "platform/win32/failures.h"
#include "platform/win32/owned.h"
#include "platform/win32/implementations.h"
#include "platform/win32/owned.h"

namespace kelmo::win32 {

namespace {

// The clipboard, opened for the calling thread for as long as this lives. Another program may
// hold it for a moment: opening is retried for about a second.
class OpenClipboardScope {
public:
    // One attempt; isOpen tells whether it worked.
    explicit OpenClipboardScope(std::nothrow_t) : open_(OpenClipboard(nullptr) != FALSE) {}
    OpenClipboardScope() {
        const DWORD start = GetTickCount();
        while (!OpenClipboard(nullptr)) {
            const DWORD error = GetLastError();
            if (GetTickCount() - start >= 1000) {
                SetLastError(error);
                throwLastError(L"OpenClipboard");
            }
            Sleep(10);
        }
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    ~OpenClipboardScope() {
        if (open_) CloseClipboard();
    }
    bool isOpen() const { return open_; }

private:
    bool open_ = true;
};

// Movable global memory holding a copy of size bytes at data.
GlobalMemory globalCopyOf(const void* data, std::size_t size) {
    GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, std::max<std::size_t>(size, 1)));
    if (!memory) throwLastError(L"GlobalAlloc");
    std::memcpy(GlobalLock(memory.get()), data, size);
    GlobalUnlock(memory.get());
    return memory;
}

// Puts data on the open clipboard; the system owns it from then on. False (with the last
// error set) when refused: data then stays with its owner.
template <typename H, auto Free, auto IsSet>
bool handOver(Owned<H, Free, IsSet>& data, UINT format) {
    if (!data || !SetClipboardData(format, data.get())) return false;
    static_cast<void>(data.release());
    return true;
}

// The bytes of a global memory block, or nothing when the handle is not one.
std::optional<std::vector<char>> bytesOf(HANDLE data) {
    const SIZE_T size = GlobalSize(data);
    const void* locked = size ? GlobalLock(data) : nullptr;
    if (!locked) return std::nullopt;
    std::vector<char> bytes(static_cast<const char*>(locked),
                            static_cast<const char*>(locked) + size);
    GlobalUnlock(data);
    return bytes;
}

// One saved clipboard format.
class SavedFormat {
public:
    explicit SavedFormat(UINT format) : format_(format) {}
    virtual ~SavedFormat() = default;
    UINT format() const { return format_; }
    // False when the data could not be copied.
    virtual bool copied() const = 0;
    // Puts a new copy on the open clipboard; false (with the last error set) when refused.
    virtual bool putBack() const = 0;

private:
    UINT format_;
};

// A format held in global memory: text, DIB, file lists, registered formats.
class SavedBytes final : public SavedFormat {
public:
    SavedBytes(UINT format, std::vector<char> bytes)
        : SavedFormat(format), bytes_(std::move(bytes)) {}
    const std::vector<char>& bytes() const { return bytes_; }
    bool copied() const override { return true; }
    bool putBack() const override {
        GlobalMemory memory = globalCopyOf(bytes_.data(), bytes_.size());
        return handOver(memory, format());
    }

private:
    std::vector<char> bytes_;
};

class SavedBitmap final : public SavedFormat {
public:
    SavedBitmap(UINT format, HANDLE bitmap)
        : SavedFormat(format),
          bitmap_(static_cast<HBITMAP>(CopyImage(bitmap, IMAGE_BITMAP, 0, 0, 0))) {}
    bool copied() const override { return bitmap_.get() != nullptr; }
    bool putBack() const override {
        GdiObject<HANDLE> copy(CopyImage(bitmap_.get(), IMAGE_BITMAP, 0, 0, 0));
        return handOver(copy, format());
    }

private:
    GdiObject<HBITMAP> bitmap_;
};

class SavedEnhMetaFile final : public SavedFormat {
public:
    SavedEnhMetaFile(UINT format, HANDLE file)
        : SavedFormat(format), file_(CopyEnhMetaFileW(static_cast<HENHMETAFILE>(file), nullptr)) {}
    bool copied() const override { return file_.get() != nullptr; }
    bool putBack() const override {
        EnhMetaFile copy(CopyEnhMetaFileW(file_.get(), nullptr));
        return handOver(copy, format());
    }

private:
    EnhMetaFile file_;
};

class SavedPalette final : public SavedFormat {
public:
    SavedPalette(UINT format, HANDLE palette) : SavedFormat(format) {
        auto handle = static_cast<HPALETTE>(palette);
        entries_.resize(GetPaletteEntries(handle, 0, 0, nullptr));
        GetPaletteEntries(handle, 0, static_cast<UINT>(entries_.size()), entries_.data());
    }
    bool copied() const override { return !entries_.empty(); }
    bool putBack() const override {
        std::vector<char> buffer(sizeof(LOGPALETTE) + entries_.size() * sizeof(PALETTEENTRY));
        auto* palette = reinterpret_cast<LOGPALETTE*>(buffer.data());
        palette->palVersion = 0x300;
        palette->palNumEntries = static_cast<WORD>(entries_.size());
        std::copy(entries_.begin(), entries_.end(), palette->palPalEntry);
        GdiObject<HPALETTE> copy(CreatePalette(palette));
        return handOver(copy, format());
    }

private:
    std::vector<PALETTEENTRY> entries_;
};

// METAFILEPICT: a global block that refers to a metafile.
class SavedMetaFilePicture final : public SavedFormat {
public:
    SavedMetaFilePicture(UINT format, HANDLE data) : SavedFormat(format) {
        if (auto* picture = static_cast<METAFILEPICT*>(GlobalLock(data))) {
            picture_ = *picture;
            bits_.resize(GetMetaFileBitsEx(picture->hMF, 0, nullptr));
            GetMetaFileBitsEx(picture->hMF, static_cast<UINT>(bits_.size()), bits_.data());
            GlobalUnlock(data);
        }
    }
    bool copied() const override { return !bits_.empty(); }
    bool putBack() const override {
        MetaFile file(SetMetaFileBitsEx(static_cast<UINT>(bits_.size()), bits_.data()));
        if (!file) return false;
        METAFILEPICT picture = picture_;
        picture.hMF = file.get();
        GlobalMemory memory = globalCopyOf(&picture, sizeof picture);
        if (!handOver(memory, format())) return false;
        static_cast<void>(file.release()); // it belongs to the METAFILEPICT on the clipboard now
        return true;
    }

private:
    METAFILEPICT picture_{};
    std::vector<BYTE> bits_;
};

std::vector<UINT> availableFormats() {
    std::vector<UINT> formats;
    for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format))
        formats.push_back(format);
    return formats;
}

bool isFormatWithoutCopy(UINT format) {
    return format == CF_OWNERDISPLAY || (format >= CF_PRIVATEFIRST && format <= CF_PRIVATELAST) ||
           (format >= CF_GDIOBJFIRST && format <= CF_GDIOBJLAST);
}

std::unique_ptr<SavedFormat> copyOf(UINT format, HANDLE data) {
    switch (format) {
    case CF_BITMAP:
    case CF_DSPBITMAP:
        return std::make_unique<SavedBitmap>(format, data);
    case CF_ENHMETAFILE:
    case CF_DSPENHMETAFILE:
        return std::make_unique<SavedEnhMetaFile>(format, data);
    case CF_PALETTE:
        return std::make_unique<SavedPalette>(format, data);
    case CF_METAFILEPICT:
    case CF_DSPMETAFILEPICT:
        return std::make_unique<SavedMetaFilePicture>(format, data);
    default:
        if (auto bytes = bytesOf(data))
            return std::make_unique<SavedBytes>(format, std::move(*bytes));
        return nullptr;
    }
}

std::unique_ptr<SavedFormat> saveFormat(UINT format) {
    if (isFormatWithoutCopy(format)) return nullptr;
    HANDLE data = GetClipboardData(format);
    if (!data) return nullptr;
    auto saved = copyOf(format, data);
    return saved && saved->copied() ? std::move(saved) : nullptr;
}

std::wstring unicodeTextOf(const std::vector<char>& bytes) {
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

class Win32Snapshot final : public platform::Clipboard::Snapshot {
public:
    std::wstring text() const override {
        for (const auto& saved : formats_)
            if (saved->format() == CF_UNICODETEXT)
                return unicodeTextOf(static_cast<const SavedBytes&>(*saved).bytes());
        return L"";
    }
    void add(std::unique_ptr<SavedFormat> saved) { formats_.push_back(std::move(saved)); }
    const std::vector<std::unique_ptr<SavedFormat>>& formats() const { return formats_; }

private:
    std::vector<std::unique_ptr<SavedFormat>> formats_;
};

void emptyClipboard() {
    if (!EmptyClipboard()) throwLastError(L"EmptyClipboard");
}

bool holdsText(const Win32Snapshot& snapshot) {
    return std::any_of(snapshot.formats().begin(), snapshot.formats().end(), [](const auto& saved) {
        return saved->format() == CF_UNICODETEXT || saved->format() == CF_TEXT ||
               saved->format() == CF_OEMTEXT;
    });
}

// A clipboard that held no text gets an empty one back, so that after a paste it always holds
// text, the same as before it or empty.
bool putEmptyText() {
    GlobalMemory memory = globalCopyOf(L"", sizeof(wchar_t));
    return handOver(memory, CF_UNICODETEXT);
}

class Win32Clipboard final : public platform::Clipboard {
public:
    // Every format that can be copied. A bitmap is left out when the same picture is there
    // as a DIB: the system makes the bitmap from the DIB again.
    std::unique_ptr<Snapshot> save() override {
        OpenClipboardScope open;
        auto snapshot = std::make_unique<Win32Snapshot>();
        const std::vector<UINT> formats = availableFormats();
        const bool hasDib = std::find(formats.begin(), formats.end(), CF_DIB) != formats.end();
        for (UINT format : formats) {
            if (format == CF_BITMAP && hasDib) continue;
            if (auto saved = saveFormat(format)) snapshot->add(std::move(saved));
        }
        return snapshot;
    }

    void setText(const std::wstring& text) override {
        OpenClipboardScope open;
        emptyClipboard();
        GlobalMemory memory = globalCopyOf(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        if (!handOver(memory, CF_UNICODETEXT)) throwLastError(L"SetClipboardData");
    }

    // Puts back every format it can, then reports the first that was refused. The caller
    // tries again while another program has the clipboard open.
    bool restore(const Snapshot& snapshot) override {
        const auto* saved = dynamic_cast<const Win32Snapshot*>(&snapshot);
        if (!saved) errors::raise(errors::InvalidCall, L"not a clipboard snapshot of this system");
        OpenClipboardScope open(std::nothrow);
        if (!open.isOpen()) return false;
        emptyClipboard();
        DWORD firstError = ERROR_SUCCESS;
        auto note = [&firstError](bool put) {
            if (!put && firstError == ERROR_SUCCESS)
                firstError = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_INVALID_DATA;
        };
        for (const auto& format : saved->formats())
            note(format->putBack());
        if (!holdsText(*saved)) note(putEmptyText());
        if (firstError != ERROR_SUCCESS) {
            SetLastError(firstError);
            throwLastError(L"SetClipboardData");
        }
        return true;
    }

    std::uint32_t sequenceNumber() override { return GetClipboardSequenceNumber(); }
};

} // namespace

std::unique_ptr<platform::Clipboard> makeClipboard() {
    return std::make_unique<Win32Clipboard>();
}

} // namespace kelmo::win32
