# RW and RR against the simulated board: widths, signed results, the
# extended space, address limits and the option syntax.
source [file join [file dirname [info script]] lib.tcl]

# Only bit 31 set: read is the signed 32-bit value.
ok "RW -A2 -W32 -D80000000" 1
ok "RR -A2 -W32" 1
expect "bit 31" $read -2147483648
expect "bit 31 high" $read_high 0

# A 64-bit value: both halves, each signed.
ok "RW -A3 -W64 -DFFFFFFFF00000001" 1
ok "RR -A3 -W64" 1
expect "64 low" $read 1
expect "64 high" $read_high -1
# The same register at 16 bits keeps the low 16 bits only.
ok "RR -A3 -W16" 1
expect "16 of 64" $read 1
expect "16 of 64 high" $read_high 0

# RW's value is hexadecimal digits; the width packs into wValue, the value is
# sent least significant byte first.
set m [trace_mark]
ok "RW -A5 -W16 -D1234" 1
expect_trace "RW 16" $m {{CTRL bm=40 req=B0 val=0045 idx=0000 len=2 -> OK 2 data=3412}}
# A value with its own prefix does not convert; nothing goes out.
set m [trace_mark]
expect "0x value" [fails "RW -A5 -W16 -D0x1234"] 0
expect "RW -W12" [fails "RW -W12 -D1"] 0
expect_trace "refused RW" $m {}
# RW without -D writes 0.
ok "RW -A5 -W16" 1
ok "RR -A5 -W16" 1
expect "RW default" $read 0

# RR: lower-case, quoted and comma-separated texts are the same macro.
ok "RW -A16 -W32 -D12345678" 1
ok "rr -a16 -w32" 1
expect "lower case" $read 305419896
set read 0
ok {"RR" "-A16" "-W32"} 1
expect "quoted" $read 305419896
set read 0
ok "RR,-A16,-W32" 1
expect "commas" $read 305419896

# Address patterns: hex then decimal, the decimal deciding where it matches.
ok "RW -A255 -W8 -DAB" 1
ok "RW -A1 -W8 -DCD" 1
ok "RW -A0 -W8 -DEF" 1
ok "RR -AFF" 1
expect "-AFF" $read 171
ok "RR -A1F" 1
expect "-A1F" $read 205
ok "RR -A0X10" 1
expect "-A0X10" $read 239
# -A100 is register 100, not 0x100.
set m [trace_mark]
ok "RR -A100" 1
expect_trace "-A100" $m {{CTRL bm=C0 req=B0 val=0124 idx=* len=1 -> OK 1 data=*}}

# Address limits; a failed RR leaves read and read_high as they were.
ok "RR -A16383" 1
set read keep
set read_high keep
set m [trace_mark]
expect "RR 16384" [fails "RR -A16384"] 0
expect "RR -W24" [fails "RR -A1 -W24"] 0
expect_trace "refused RR" $m {}
expect "read kept" $read keep
expect "read_high kept" $read_high keep

# The extended space: high half 5, low half 7.
ok "RW -A2 -W64 -REGEX -D0000000500000007" 1
ok "RR -A2 -W64 -REGEX" 1
expect "regex low" $read 7
expect "regex high" $read_high 5
ok "RR -A2 -W32 -REGEX" 1
expect "regex 32 high" $read_high 0
ok "RR -A1023 -REGEX" 1
expect "regex 1024" [fails "RR -A1024 -REGEX"] 0
expect "RW regex 1024" [fails "RW -A1024 -REGEX -D1"] 0

TPRINT "registers ok"

# The result variables behave as plain globals between macros: each read sees
# the latest macro's value, a script's own write stands until the next macro,
# an unset variable comes back with the next read macro, and procedures and
# upvar links see the same values.
ok "RW -A6 -W32 -D11" 1
ok "RR -A6 -W32" 1
ok "RW -A6 -W32 -D22" 1
ok "RR -A6 -W32" 1
expect "latest of two" $read 34
set read mine
expect "script's write" $read mine
ok "RR -A6 -W32" 1
expect "macro after write" $read 34
unset read
expect "unset" [info exists read] 0
ok "RR -A6 -W32" 1
expect "back after unset" $read 34
proc read_in_proc {} { global read; return $read }
upvar #0 read linked
ok "RW -A6 -W32 -D33" 1
ok "RR -A6 -W32" 1
expect "in a procedure" [read_in_proc] 51
expect "through upvar" $linked 51
set failed_before $read
expect "failed RR" [fails "RR -A6 -W12"] 0
expect "failed RR keeps" $read $failed_before
