test("never runs", function() end
