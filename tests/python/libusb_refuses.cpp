// Preloaded into a test's Python, this stands in for libusb_init: USB cannot
// be reached, as in a container that was not given the host's USB devices.
#include <libusb.h>

extern "C" int libusb_init(libusb_context** ctx) {
    if (ctx) *ctx = nullptr;
    return LIBUSB_ERROR_OTHER;
}
