#include "link/device.h"

namespace quillon::link {

const char* UsbErrorName(UsbError e) {
    switch (e) {
        case UsbError::None: return "OK";
        case UsbError::Stall: return "STALL";
        case UsbError::NoDevice: return "NO_DEVICE";
        case UsbError::Timeout: return "TIMEOUT";
        case UsbError::Overflow: return "OVERFLOW";
        case UsbError::Cancelled: return "CANCELLED";
        case UsbError::Io: return "IO";
    }
    return "IO";
}

}  // namespace quillon::link
