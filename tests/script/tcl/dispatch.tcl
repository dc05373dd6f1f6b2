# The dispatcher's own answers; the log is back on after each.
source [file join [file dirname [info script]] lib.tcl]

expect "two words" [fails RR -A16] "KVX_COMMAND not found!!(RR-A16)"
expect "unknown" [fails "xx -a1"] "KVX_COMMAND not found!!(XX)"
expect "empty" [fails ""] "KVX_COMMAND not found!!()"
TPRINT "log back on"
