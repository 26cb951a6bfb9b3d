return "loaded with a byte-order mark"
