# A board limited to Full Speed (product 6501h).
product_id = 0x6501
speed_code = 0
link_speed = usb2
