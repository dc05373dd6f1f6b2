# A device that does not answer (status 0): "0" with TCL_OK, read unchanged.
source [file join [file dirname [info script]] lib.tcl]

set read keep
ok "IR -DA -S1 -A00" 0
expect "read kept" $read keep
ok "IW -DA -S0 -A10 -W55" 0
ok "IR3 -P0 -M4 -DA -S0 -A1234" 0
expect "read kept after IR3" $read keep
TPRINT "i2c fault ok"
