#!/usr/bin/python3
"""Drives a whole scan through the accessibility bus, as a screen reader would.

Run under a display with an AT-SPI bus, for example:
  xvfb-run -a dbus-run-session -- bash -c '/usr/libexec/at-spi-bus-launcher --launch-immediately &
      QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 orvane & sleep 2; tests/atspi_scan.py VOLUME-TEXT'
Prints the window's accessible tree, picks the volume whose entry contains VOLUME-TEXT,
presses "Search Viruses", reads the stages and the verdict box, presses OK and reads the
contents pane. Needs Debian's python3-pyatspi.
"""
import sys
import time

import pyatspi


def walk(node, depth=0):
    yield depth, node
    for child in node:
        if child:
            yield from walk(child, depth + 1)


def find(root, role=None, name=None):
    for _, n in walk(root):
        if (role is None or n.getRoleName() == role) and (name is None or n.name == name):
            return n
    sys.exit(f'no {role} named {name!r}')


def main(volume):
    app = None
    for _ in range(100):
        app = next((a for a in pyatspi.Registry.getDesktop(0) if a and a.name == 'orvane'), None)
        if app:
            break
        time.sleep(0.1)
    if not app:
        sys.exit('orvane is not on the accessibility bus')
    for depth, n in walk(app):
        print('  ' * depth + f'{n.getRoleName()}: {n.name!r}')

    combo = find(app, 'combo box')
    for _, n in walk(combo):
        if n.getRoleName() == 'list item' and volume in (n.name or ''):
            n.queryAction().doAction(0)
    print('volume:', combo.name)

    status = find(app, 'label', 'Done')
    find(app, 'push button', 'Search Viruses').queryAction().doAction(0)
    stages, dialog = [], None
    for _ in range(100):
        if status.name not in stages:
            stages.append(status.name)
        dialog = next((t for t in app if t and t.getRoleName() in ('dialog', 'alert')), None)
        if dialog:
            break
        time.sleep(0.05)
    print('stages:', stages)
    print('verdict:', dialog.name, [n.name for _, n in walk(dialog) if n.getRoleName() == 'label'])
    find(dialog, 'push button', 'OK').queryAction().doAction(0)
    time.sleep(0.5)
    print('status:', status.name)
    print('contents:', repr(find(app, name='Text1').queryText().getText(0, -1)))


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else '')
