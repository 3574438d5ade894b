#pragma once

// The capture filter lookup and the control connection on it (Windows only).

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <string>

#include "common/i2c_control.h"

class TransferView;

// The identifiers are spelled out here: MinGW's ksproxy.h declares no
// __uuidof for IKsControl, and the lookup must not depend on which import
// libraries happen to define the others.
inline constexpr GUID kCaptureCategory = {  // KSCATEGORY_CAPTURE
    0x65E8773D,
    0x8F56,
    0x11D0,
    {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
inline constexpr GUID kClsidSystemDeviceEnum = {
    0x62BE5D10, 0x60EB, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
inline constexpr GUID kIidCreateDevEnum = {
    0x29840822, 0x5B84, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
inline constexpr GUID kIidPropertyBag = {
    0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
inline constexpr GUID kIidBaseFilter = {
    0x56A86895, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID kClsidFilterGraph = {
    0xE436EBB3, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID kIidGraphBuilder = {
    0x56A868A9, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID kIidKsControl = {
    0x28F54685, 0x06FD, 0x11D2, {0xB2, 0x7A, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

// The friendly name of the card's capture filter, compared in the ANSI code page.
inline constexpr char kCaptureFilterName[] = "713x BDA Analog Capture";

// The last device of category whose friendly name equals name exactly, bound
// to its filter; nothing (after showing why, where there is a reason) when
// there is none or the lookup fails.
Microsoft::WRL::ComPtr<IBaseFilter> FindFilterByName(REFGUID category, const std::string& name,
                                                     TransferView& view);

// Puts the card's capture filter into a new filter graph and returns its
// control interface; the connection keeps graph and filter alive until it is
// closed. Nothing, after showing every failure, when that can't be done.
I2CControl OpenI2CControl(TransferView& view);

// Opens connections on the real capture filter.
class FilterConnector final : public I2CConnector {
 public:
  I2CControl OpenI2CControl(TransferView& view) override;
};
