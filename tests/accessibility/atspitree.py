#!/usr/bin/python3
# What a screen reader sees of one running program: its accessible tree over AT-SPI, one object a
# line, "role|name|description", indented by depth. Exits 2 where AT-SPI cannot be read, 1 where
# the program is not found.
import sys
import time

try:
    import pyatspi
except ImportError:
    sys.exit(2)


def walk(node, depth):
    if node is None or depth > 30:
        return
    print("%s%s|%s|%s" % ("  " * depth, node.getRoleName(), node.name, node.description))
    for child in node:
        walk(child, depth + 1)


def find(pid):
    for app in pyatspi.Registry.getDesktop(0):
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:
            continue
    return None


# A program joins the registry a moment after its bridge starts.
pid = int(sys.argv[1])
for attempt in range(40):
    app = find(pid)
    if app is not None:
        walk(app, 0)
        sys.exit(0)
    time.sleep(0.25)
sys.exit(1)
