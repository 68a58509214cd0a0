// Error numbers, their standard descriptions and the scode a client sees.
#include "base/error.h"

namespace kelmo {

std::wstring errors::standardDescription(std::int32_t number) {
    switch (number) {
    case InvalidCall:
        return L"Invalid procedure call or argument";
    case Overflow:
        return L"Overflow";
    case SubscriptOutOfRange:
        return L"Subscript out of range";
    case TypeMismatch:
        return L"Type mismatch";
    case FileNotFound:
        return L"File not found";
    case PermissionDenied:
        return L"Permission denied";
    case PathNotFound:
        return L"Path not found";
    case ObjectNotSet:
        return L"Object variable not set";
    case InvalidPropertyValue:
        return L"Invalid property value";
    case InvalidPicture:
        return L"Invalid picture";
    case NotImplemented:
        return L"Object doesn't support this action";
    case Busy:
        return L"Kelmo is still running another call; try again when it has returned";
    case ClipboardNotRestored:
        return L"The clipboard could not be restored";
    default:
        return L"Automation error";
    }
}

void errors::raise(std::int32_t number) {
    throw KelmoError(number, standardDescription(number));
}

void errors::raise(std::int32_t number, const std::wstring& detail) {
    throw KelmoError(number, standardDescription(number) + L": " + detail);
}

std::int32_t automationScode(std::int32_t number) {
    if (number > 0 && number <= 0xFFFF)
        return static_cast<std::int32_t>(0x800A0000u + static_cast<std::uint32_t>(number));
    return number;
}

} // namespace kelmo
