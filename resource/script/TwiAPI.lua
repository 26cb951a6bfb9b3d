--- The script side of the service client class TwiAPI. The engine's class definition
--- requires this module first and then joins its own methods onto the table it leaves:
--- setNotify(gobj), sendRequest(name, params) -> id, cancelRequest(id) -> 0, 1 or 2.
--- Script methods that every TwiAPI object should have are added here.
TwiAPI = TwiAPI or {}
