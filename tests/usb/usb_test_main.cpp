// The USB tests run under umockdev's preload library, which redirects /sys,
// /dev and netlink to the testbed. Started without it, the binary starts
// itself again with it. The preload library takes itself out of LD_PRELOAD
// once loaded, so a variable of our own marks the second start.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (!std::getenv("QUILLON_UNDER_UMOCKDEV")) {
        ::setenv("QUILLON_UNDER_UMOCKDEV", "1", 1);
        std::string preload = "libumockdev-preload.so.0";
        if (const char* old = std::getenv("LD_PRELOAD"); old && *old) {
            preload += std::string(":") + old;
        }
        ::setenv("LD_PRELOAD", preload.c_str(), 1);
        // Under AddressSanitizer the preload comes first, which ASan accepts
        // only when told to.
        std::string asan = "verify_asan_link_order=0";
        if (const char* old = std::getenv("ASAN_OPTIONS"); old && *old) {
            asan = std::string(old) + ":" + asan;
        }
        ::setenv("ASAN_OPTIONS", asan.c_str(), 1);
        ::execv("/proc/self/exe", argv);
        std::perror("usb_tests: cannot restart under umockdev");
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
