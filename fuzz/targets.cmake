# The fuzz targets: one quillon_fuzzer() line each.
#   quillon_fuzzer(NAME SOURCE [program sources under src/ ...])
# NAME names the binary (NAME_fuzzer), the seed corpus folder corpus/NAME and
# the smoke test fuzz_NAME; the program sources are the pure parsers the
# target calls (they must build without Qt or the link layer).
quillon_fuzzer(cfi_decode cfi_decode_fuzz.cpp features/flash/cfi.cpp)
