# UC: a configuration file loaded through the configuration-mode requests.
# argv: trace file, then the answer the board's verdict should give ("1" or "0").
source [file join [file dirname [info script]] lib.tcl]
set want [lindex $argv 1]

write_bytes Design.rbf [string repeat [binary format H* 0123456789ABCDEF] 64]
set m [trace_mark]
ok "UC -FDesign.rbf" $want
set lines [trace_since $m]
expect "begin" [string match {CTRL bm=40 req=B2 * data=C1} [lindex $lines 0]] 1
expect "end" [string match {CTRL bm=40 req=B2 * data=41} [lindex $lines end]] 1
# The letter case of the name matters on this file system.
ok "UC -Fdesign.rbf" 0
ok "UC -FDesign.rbf -MX -B" $want
TPRINT "configure ok"
