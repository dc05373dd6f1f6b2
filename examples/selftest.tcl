# Self-test of a board (or of the simulated one):
#   quillon-run --board sim examples/selftest.tcl
# Writes and reads registers at every width, moves 64 KiB of memory through a
# file and back, compares, and prints a summary line with TPRINT.
# Exit status 0 when everything passed, 1 otherwise.

set passed 0
set failed 0
proc check {what ok} {
    if {$ok} {
        incr ::passed
    } else {
        incr ::failed
        TPRINT "NG: $what"
    }
}

TPRINT "selftest: registers"
foreach {width value} {8 A5 16 1234 32 89ABCDEF 64 0123456789ABCDEF} {
    set r [KVX_COMMAND "RW -A16 -W$width -D$value"]
    check "RW -W$width" [expr {$r == 1}]
    KVX_COMMAND "RR -A16 -W$width"
    # read holds the low 32 bits as a signed number, read_high the high 32 bits.
    set got [format %08X%08X [expr {$read_high & 0xFFFFFFFF}] [expr {$read & 0xFFFFFFFF}]]
    set want [format %016s $value]
    regsub -all { } $want 0 want
    check "RR -W$width: $got, want $want" [expr {$got eq $want}]
}

TPRINT "selftest: extended registers"
KVX_COMMAND "RW -A100 -W32 -REGEX -D00C0FFEE"
KVX_COMMAND "RR -A100 -W32 -REGEX"
check "extended register" [expr {$read == 0x00C0FFEE}]

TPRINT "selftest: memory through a file and back"
# Scratch files in the temporary folder; names without blanks (macro values stop at a blank).
close [file tempfile out]
close [file tempfile back]
set f [open $out wb]
for {set i 0} {$i < 16384} {incr i} { puts -nonewline $f [binary format i [expr {$i * 2654435761}]] }
close $f
set t0 [clock milliseconds]
check "MW" [expr {[KVX_COMMAND "MW -L10000 -W32 -F$out"] == 1}]
check "MR" [expr {[KVX_COMMAND "MR -L10000 -W32 -F$back"] == 1}]
set ms [expr {[clock milliseconds] - $t0}]
check "FC (the data came back unchanged)" [expr {[KVX_COMMAND "FC -S$out -D$back"] == 1}]
file delete $out $back

TPRINT "selftest: wait 200 ms"
set t0 [clock milliseconds]
KVX_COMMAND "WAIT -T200"
check "WAIT" [expr {[clock milliseconds] - $t0 >= 200}]

TPRINT "selftest: $passed passed, $failed failed (64 KiB memory round trip in $ms ms)"
if {$failed > 0} { exit 1 }
