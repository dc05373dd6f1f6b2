# An FX3 board (product 8003h, "Hembry.") on a USB 3.0 port: the speed code
# follows the link (2, Super Speed).
product_id = 0x8003
firmware_version = 0x0210
chip_revision = 0x0001
link_speed = usb3
temp_alert = 70
watchdog = 10
