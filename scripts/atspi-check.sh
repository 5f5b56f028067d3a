#!/usr/bin/env bash
# A by-hand check of what a screen reader reads from the window: starts a
# virtual display (Xvfb), a private D-Bus session with the AT-SPI bus and
# registry (at-spi2-core), runs chronara-window with three stored places and
# the clock line, moves the pointer over the map through the registry, and
# prints the window's AT-SPI tree: role, name and description of each part.
#
#   scripts/atspi-check.sh [BIN_DIR]      (default build/bin)
#
# Needs the Debian packages xvfb, at-spi2-core and python3-pyatspi; not part
# of the test suite.
set -euo pipefail

bin=$(cd "${1:-build/bin}" && pwd)
for need in Xvfb dbus-run-session /usr/libexec/at-spi-bus-launcher; do
    command -v "$need" >/dev/null || { echo "atspi-check: $need is missing" >&2; exit 2; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || {
    echo "atspi-check: python3-pyatspi is missing" >&2
    exit 2
}

work=$(mktemp -d)
trap 'kill "${xvfb:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
sleep 1

# The stored settings: three places and the clock line.
mkdir -p "$work/config/chronara"
/usr/bin/python3 - "$work/config/chronara/Chronara.reg" <<'PY'
import struct, sys
def real(v):
    return 'hex:' + ','.join('%02x' % b for b in struct.pack('<d', v))
places = [("Tokyo, Japan", "Asia/Tokyo", 35.65444, 139.74472),
          ("New York, United States", "America/New_York", 40.71417, -74.00639),
          ("Sydney, Australia", "Australia/Sydney", -33.86667, 151.21667)]
key = '[HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data'
text = 'REGEDIT4\n\n%s]\n"LocationCount"=dword:%08x\n"ShowClock"=dword:00000001\n\n' % (
    key, len(places))
for i, (name, zone, lat, lon) in enumerate(places):
    text += '%s\\%d]\n"Name"="%s"\n"ZoneName"="%s"\n"Latitude"=%s\n"Longitude"=%s\n\n' % (
        key, i, name, zone, real(lat), real(lon))
open(sys.argv[1], 'w').write(text)
PY

cat >"$work/walk.py" <<'PY'
import sys, time
import pyatspi

def walk(node, depth, out):
    if depth > 2 and not node.getState().contains(pyatspi.STATE_SHOWING):
        return
    line = '  ' * depth + node.getRoleName() + ': ' + repr(node.name)
    if node.description:
        line += '  desc=' + repr(node.description)
    out.append(line)
    for i in range(node.childCount):
        walk(node.getChildAtIndex(i), depth + 1, out)

def find(node, name):
    if node.name == name:
        return node
    for i in range(node.childCount):
        found = find(node.getChildAtIndex(i), name)
        if found is not None:
            return found
    return None

app = None
for attempt in range(30):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        child = desktop.getChildAtIndex(i)
        if child is not None and 'chronara' in (child.name or '').lower():
            app = child
    if app is not None:
        break
    time.sleep(1)
if app is None:
    sys.exit('no Chronara on the accessibility bus')
world = find(app, 'World map')
if world is not None:
    e = world.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    x, y = int(e.x + e.width * 0.26), int(e.y + e.height * 0.27)
    pyatspi.Registry.generateMouseEvent(x - 5, y, pyatspi.MOUSE_ABS)
    time.sleep(0.5)
    pyatspi.Registry.generateMouseEvent(x, y, pyatspi.MOUSE_ABS)
    time.sleep(2)
out = []
walk(app, 0, out)
print('\n'.join(out))
PY

DISPLAY=$display XDG_CONFIG_HOME="$work/config" dbus-run-session -- bash -c '
    /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
    sleep 1
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb "$1/chronara-window" max \
        >"$2/app.log" 2>&1 &
    app=$!
    sleep 6
    status=0
    /usr/bin/python3 "$2/walk.py" || status=$?
    kill "$app"
    exit "$status"
' _ "$bin" "$work"
