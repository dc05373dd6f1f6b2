# A product the panel's table does not know ("該当なし") reporting a speed
# code it does not know either ("Unknown Speed Mode.", then the code).
product_id = 0x1234
speed_code = 3
temperature = 42.5
