#pragma once

// What the card's driver publishes, as the card's own copies: typed from the
// driver's published identifiers rather than taken from the SDK's headers or
// the program, so that a wrong digit on either side shows in the tests
// instead of on a real card. (The I2C property set is the request decoder's.)

#include <windows.h>

namespace simcard::com {

// KSCATEGORY_CAPTURE, the category the capture filter is registered under.
inline constexpr GUID kCaptureCategory = {
    0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

// IID_IBaseFilter and IID_IKsControl, the filter's interfaces the program asks for.
inline constexpr IID kIidBaseFilter = {
    0x56A86895, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID kIidKsControl = {
    0x28F54685, 0x06FD, 0x11D2, {0xB2, 0x7A, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

// The capture filter's friendly name.
inline constexpr wchar_t kCaptureFilterName[] = L"713x BDA Analog Capture";

}  // namespace simcard::com
