# Reads board memory into a file:
#   quillon-run --board sim examples/memory_dump.tcl [LENGTH_HEX [FILE [WIDTH]]]
# LENGTH_HEX is the byte count in hexadecimal without prefix (default 1000),
# FILE the output file (default dump.bin, relative to where quillon-run was
# started), WIDTH the memory width 8, 16, 32 or 64 (default 32).

set length [expr {$argc > 0 ? [lindex $argv 0] : "1000"}]
set file [expr {$argc > 1 ? [lindex $argv 1] : "dump.bin"}]
set width [expr {$argc > 2 ? [lindex $argv 2] : 32}]

# A failed MR stops the script with a Tcl error (exit status 1); the file is
# then neither created nor replaced.
KVX_COMMAND "MR -L$length -W$width -F$file"
TPRINT "read 0x$length bytes at $width bit into $file ([file size $file] bytes)"
