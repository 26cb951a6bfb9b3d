return { kind = "button", label = "OK" }
