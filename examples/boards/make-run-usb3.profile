# The board `make run` starts: the default simulated board (product 8003h,
# "Hembry.", an FX3) on a USB 3.0 port. Its transfers take as long as on such
# a board (about 350 MB/s in bulk), so the rate page shows a figure of that
# kind; left out, the link runs as fast as the computer allows.
link_speed = usb3
