# Helpers of the script tests. Every failed check is a Tcl error, so
# quillon-run ends with status 1 and names the check on standard error.
# argv: the wire trace file, then the test's own arguments.

set ::trace_file [lindex $argv 0]

proc expect {what got want} {
    if {$got ne $want} { error "$what: got \"$got\", want \"$want\"" }
}

# The macro answers with TCL_OK and `want` ("1" or "0").
proc ok {macro want} {
    if {[catch {KVX_COMMAND $macro} r]} { error "$macro: TCL_ERROR ($r), want $want" }
    expect $macro $r $want
}

# The macro (one or more words) answers with TCL_ERROR; returns the result.
proc fails {args} {
    if {![catch {KVX_COMMAND {*}$args} r]} { error "$args: TCL_OK ($r), want TCL_ERROR" }
    return $r
}

proc trace_lines {} {
    set f [open $::trace_file r]
    set lines [split [string trimright [read $f] "\n"] "\n"]
    close $f
    if {$lines eq {{}}} { return {} }
    return $lines
}
proc trace_mark {} { return [llength [trace_lines]] }
proc trace_since {mark} { return [lrange [trace_lines] $mark end] }

# The trace lines since `mark` match the glob patterns, one each, in order.
proc expect_trace {what mark patterns} {
    set lines [trace_since $mark]
    if {[llength $lines] != [llength $patterns]} {
        error "$what: [llength $lines] trace lines, want [llength $patterns]:\n[join $lines \n]"
    }
    foreach line $lines pattern $patterns {
        if {![string match $pattern $line]} { error "$what: trace \"$line\" is not \"$pattern\"" }
    }
}

proc write_bytes {name bytes} {
    set f [open $name wb]
    puts -nonewline $f $bytes
    close $f
}
proc read_bytes {name} {
    set f [open $name rb]
    set b [read $f]
    close $f
    return $b
}
