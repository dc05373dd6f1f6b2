// How the simulated board answers a request: the outcomes a transfer can
// have, numbered as libusb numbers its errors.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/device.h"

namespace quillon::sim::answers {

using link::TransferResult;
using link::SetupPacket;
using link::UsbError;

// Error codes as libusb numbers them (LIBUSB_ERROR_IO, _NO_DEVICE, _PIPE), so
// that "ERROR code :%d" reads the same whichever board is behind the link.
constexpr int kCodeIo = -1;
constexpr int kCodeNoDevice = -4;
constexpr int kCodePipe = -9;

inline TransferResult Ok(std::size_t moved) {
    return {UsbError::None, static_cast<std::uint32_t>(moved), 0};
}
inline TransferResult Stall() {
    return {UsbError::Stall, 0, kCodePipe};
}
inline TransferResult Gone(std::size_t moved = 0) {
    return {UsbError::NoDevice, static_cast<std::uint32_t>(moved), kCodeNoDevice};
}
inline TransferResult IoError() {
    return {UsbError::Io, 0, kCodeIo};
}
// The host stopped a streamed transfer; numbered as libusb numbers an
// interrupted call.
inline TransferResult Cancelled(std::size_t moved) {
    return {UsbError::Cancelled, static_cast<std::uint32_t>(moved), -10};
}

}  // namespace quillon::sim::answers
