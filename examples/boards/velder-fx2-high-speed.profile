# An FX2 board (product 6311h, "Velder.") on a USB 2.0 port. The FX2 reports
# its high-speed connection as 80h.
product_id = 0x6311
firmware_version = 0x0105
chip_revision = 0x0004
speed_code = 0x80
link_speed = usb2
# Port A's pins read 5Ah while the port is an input.
gpio_input_a = 0x5A
