# The sim's next bulk transfer comes back short: MR fails and neither creates
# nor replaces its file.
source [file join [file dirname [info script]] lib.tcl]

write_bytes keep.bin "keep me"
expect "MR over existing" [fails "MR -L100 -Fkeep.bin"] 0
expect "kept" [read_bytes keep.bin] "keep me"
expect "MR new" [fails "MR -L100 -Fnew.bin"] 0
expect "not created" [file exists new.bin] 0
TPRINT "mr fault ok"
