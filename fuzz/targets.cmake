# The fuzz targets: one quillon_fuzzer() line each.
#   quillon_fuzzer(NAME SOURCE [program sources under src/ ...])
# NAME names the binary (NAME_fuzzer), the seed corpus folder corpus/NAME and
# the smoke test fuzz_NAME; the program sources are the pure parsers the
# target calls (they must build without Qt Widgets or the link layer; Qt Core
# is there for the translated texts of platform/ui_text.cpp).
quillon_fuzzer(cfi_decode cfi_decode_fuzz.cpp features/flash/cfi.cpp platform/ui_text.cpp)
quillon_fuzzer(macro_text macro_text_fuzz.cpp script/macro_syntax.cpp features/hex_field.cpp)
quillon_fuzzer(config_stream config_stream_fuzz.cpp features/config/config_stream.cpp)
quillon_fuzzer(sim_profile sim_profile_fuzz.cpp sim/sim_profile.cpp sim/flash_profile.cpp
               platform/file_io.cpp platform/cause.cpp platform/platform.cpp
               platform/ui_text.cpp)
quillon_fuzzer(settings_values settings_values_fuzz.cpp platform/stored_integer.cpp
               link/usb/usb_ids.cpp)
