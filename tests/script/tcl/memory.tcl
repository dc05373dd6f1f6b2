# MW, MR and FC: buffers, zero fill, files created and replaced, compares.
source [file join [file dirname [info script]] lib.tcl]

# A 4-byte file written with length 0x10: its 4 bytes and 12 zeros go out.
write_bytes data4.bin [binary format H* AABBCCDD]
set m [trace_mark]
ok "MW -L10 -W16 -Fdata4.bin" 1
expect_trace "MW 16 bytes" $m {
    {CTRL bm=40 req=B1 * data=C0}
    {BULK ep=06 len=16 -> OK 16 data=AABBCCDD000000000000000000000000}
    {CTRL bm=40 req=B1 * data=40}
}

# MR -L100 writes a 256-byte file and replaces an existing one.
write_bytes out.bin "old contents that are longer than nothing"
ok "MR -L100 -Fout.bin" 1
expect "MR size" [file size out.bin] 256

# Through the board and back: a file goes out and comes back the same.
set pattern ""
for {set i 0} {$i < 512} {incr i} { append pattern [binary format c [expr {$i * 7 & 255}]] }
write_bytes image.bin $pattern
ok "MW -L200 -W32 -Fimage.bin" 1
ok "MR -L200 -W32 -Fback.bin" 1
ok "FC -Simage.bin -Dback.bin" 1

# Beyond the few megabytes the data moves through, a transfer is still one
# transfer on the wire.
write_bytes big.bin [string repeat $pattern 18432]
set m [trace_mark]
ok "MW -L900000 -Fbig.bin" 1
ok "MR -L900000 -Fbigback.bin" 1
ok "FC -Sbig.bin -Dbigback.bin" 1
expect_trace "9 MiB each way" $m {
    {CTRL bm=40 req=B1 * data=C0}
    {BULK ep=06 len=9437184 -> OK 9437184 data=00070E15*...}
    {CTRL bm=40 req=B1 * data=40}
    {CTRL bm=40 req=B1 * data=80}
    {BULK ep=82 len=9437184 -> OK 9437184 data=00070E15*...}
    {CTRL bm=40 req=B1 * data=00}
}

# A full disk and a folder are failures, never success.
expect "MR to a full disk" [fails "MR -L200 -F/dev/full"] 0
expect "why not /dev/full" \
    [string match {*MR: cannot write "/dev/full": it is not a regular file*} $::errorInfo] 1
file mkdir folder
expect "MW from a folder" [fails "MW -L200 -Ffolder"] 0
expect "MR over a folder" [fails "MR -L200 -Ffolder"] 0
expect "why not a folder" [string match {*MR: cannot write "*folder": it is a folder*} $::errorInfo] 1
expect "folder kept" [file isdirectory folder] 1

# File names keep their case: Image.bin is not image.bin.
write_bytes Image.bin [binary format H* 01]
ok "FC -SImage.bin -Dimage.bin" 0

# Equal sizes differing in the last byte: "0", and the script goes on.
write_bytes a.bin [binary format H* 00010203]
write_bytes b.bin [binary format H* 00010204]
ok "FC -Sa.bin -Db.bin" 0
ok "FC -Sa.bin -Da.bin" 1
ok "FC -Sa.bin -Dmissing.bin" 0
write_bytes empty1.bin ""
write_bytes empty2.bin ""
ok "FC -Sempty1.bin -Dempty2.bin" 1
expect "FC without -D" [fails "FC -Sa.bin"] 0

# Refusals before anything goes out.
set m [trace_mark]
expect "MW -W24" [fails "MW -W24 -Fdata4.bin"] 0
expect "MW -L0" [fails "MW -L0 -Fdata4.bin"] 0
expect "MR -L0" [fails "MR -L0 -Fzero.bin"] 0
expect "MR without -F" [fails "MR -L10"] 0
expect "MW missing file" [fails "MW -L10 -Fnot-there.bin"] 0
expect_trace "refused memory macros" $m {}
expect "MR -L0 file" [file exists zero.bin] 0

# UC with a missing file is soft; without -F it is refused.
ok "UC -FMISSING.RBF" 0
expect "UC without -F" [fails "UC -MX"] 0

TPRINT "memory ok"
