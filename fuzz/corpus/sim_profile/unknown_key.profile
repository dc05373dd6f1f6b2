temperature = 42.50
bogus_key = 1
