# I2C, GPIO, temperature alert and WAIT.
source [file join [file dirname [info script]] lib.tcl]

set m [trace_mark]
ok "IW -DA -S0 -A10 -W55" 1
ok "IR -DA -S0 -A10" 1
expect "IR" $read 85
expect_trace "IW/IR" $m {
    {CTRL bm=C0 req=C0 val=00A0 idx=5510 len=1 -> OK 1 data=01}
    {CTRL bm=C0 req=C1 val=00A0 idx=0010 len=2 -> OK 2 data=01*}
}
# -S1 addresses the device at 0xA2.
set m [trace_mark]
KVX_COMMAND "IR -DA -S1 -A00"
expect_trace "IR -S1" $m {{CTRL bm=C0 req=C1 val=00A2 idx=0000 *}}

# IR3 mode 4: address byte, two register bytes, read address, one spare zero.
set m [trace_mark]
ok "IR3 -P0 -M4 -DA -S0 -A1234" 1
expect_trace "IR3" $m {
    {CTRL bm=40 req=C6 val=0004 idx=0001 len=5 -> OK 5 data=A01234A100}
    {CTRL bm=C0 req=C6 *}
}
set m [trace_mark]
ok "IW3 -P1 -M3 -DA -S0 -A12 -W77" 1
ok "IR2 -P1 -DA -S0 -A12" 1
expect "IW3 then IR2" $read 119
# IW2/IR2 on a port that does not exist: soft, no request.
ok "IW2 -P2 -DA -S0 -A12 -W1" 0
ok "IR2 -P5 -DA -S0 -A12" 0
expect_trace "IW3/IR2" $m {
    {CTRL bm=40 req=C5 val=0403 idx=0001 len=4 -> OK 4 data=A0127700}
    {CTRL bm=C0 req=C5 *}
    {CTRL bm=C0 req=C4 val=00A0 idx=0012 len=2 -> OK 2 data=0177}
}
# Mode 4 reaches the two-byte-address EEPROM at A8 (-DA -S4).
ok "IW3 -P0 -M4 -DA -S4 -A1234 -W66" 1
ok "IR3 -P0 -M4 -DA -S4 -A1234" 1
expect "IW3/IR3 mode 4" $read 102
ok "IR3 -P0 -M3 -DA -S4 -A34" 0
set m [trace_mark]
fails "IW3 -P2 -M3 -DA -S0 -A1 -W1"
fails "IW3 -P0 -M5 -DA -S0 -A1 -W1"
fails "IR3 -P0 -M2 -DA -S0 -A1"
fails "IW -DA -S0 -A10"
expect_trace "refused I2C" $m {}

# GPIO: port C to output, a byte out and back.
ok "GD -P1 -DOUT" 1
ok "GW -P1 -W5A" 1
ok "GR -P1" 1
expect "GR" $read 90
set m [trace_mark]
fails "GD -P1 -DOUTPUT"
fails "GR -P3"
fails "GW -P1"
expect_trace "refused GPIO" $m {}

# The threshold is one byte: 300 is 44.
set m [trace_mark]
ok "STA -T300" 1
ok "GTA" 1
expect "GTA" $read 44
expect_trace "STA" $m {
    {CTRL bm=40 req=C7 * data=2C}
    {CTRL bm=C0 req=C7 * data=2C}
}

# WAIT lets the script's own events run and takes its time; a negative time
# returns at once.
set t0 [clock milliseconds]
after 100 {set ::fired 1}
ok "WAIT -T1500" 1
set took [expr {[clock milliseconds] - $t0}]
if {$took < 1500} { error "WAIT -T1500 took $took ms" }
expect "event during WAIT" [info exists ::fired] 1
set t0 [clock milliseconds]
ok "WAIT -T-5" 1
if {[clock milliseconds] - $t0 > 1000} { error "WAIT -T-5 waited" }
# A handler that reschedules itself at once keeps an event pending all the time;
# WAIT still ends on its clock.
proc spin {} { after 0 spin }
spin
set t0 [clock milliseconds]
ok "WAIT -T50" 1
if {[clock milliseconds] - $t0 > 5000} { error "WAIT -T50 with a busy event loop" }
foreach id [after info] { after cancel $id }
fails "WAIT"
TPRINT "io ok"
