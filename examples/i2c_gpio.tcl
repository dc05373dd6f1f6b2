# I2C EEPROM, GPIO and the temperature alert:
#   quillon-run --board sim examples/i2c_gpio.tcl
# On the simulated board an EEPROM answers at device type A, address bits 0
# (address byte A0) on both I2C ports.

# Write four bytes into the EEPROM and read them back (first I2C port).
foreach {reg byte} {10 11 11 22 12 33 13 44} {
    KVX_COMMAND "IW -DA -S0 -A$reg -W$byte"
}
set bytes {}
foreach reg {10 11 12 13} {
    # IR answers 0 (and leaves read alone) when the device does not answer.
    if {[KVX_COMMAND "IR -DA -S0 -A$reg"]} { lappend bytes [format %02X $read] }
}
TPRINT "EEPROM 10..13: $bytes"

# Two-byte register addresses (mode 4) on the second port.
KVX_COMMAND "IW3 -P1 -M4 -DA -S0 -A0123 -W5A"
KVX_COMMAND "IR3 -P1 -M4 -DA -S0 -A0123"
TPRINT [format "EEPROM 0123 on port 1: %02X" $read]

# GPIO port C (1) as output, a pattern out and back.
KVX_COMMAND "GD -P1 -DOUT"
KVX_COMMAND "GW -P1 -W3C"
KVX_COMMAND "GR -P1"
TPRINT [format "GPIO C reads %02X" $read]

# The temperature alert threshold, in degrees Celsius.
KVX_COMMAND "STA -T70"
KVX_COMMAND "GTA"
TPRINT "temperature alert at $read C"
