#!/usr/bin/python3
"""Presses a button of a running program through the accessibility bus, as a
screen reader would: finds the application by name, then the push button
whose accessible name is the caption and whose description is the form's
control name."""
import sys
import time

import pyatspi


def find(node, name, description):
    try:
        if (node.getRoleName() == "push button" and node.name == name
                and node.description == description):
            return node
        for i in range(node.childCount):
            hit = find(node.getChildAtIndex(i), name, description)
            if hit is not None:
                return hit
    except Exception:
        pass
    return None


def main():
    app_name, caption, control = sys.argv[1], sys.argv[2], sys.argv[3]
    deadline = time.time() + 30
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name.lower() == app_name.lower():
                button = find(app, caption, control)
                if button is not None:
                    action = button.queryAction()
                    for a in range(action.nActions):
                        if action.getName(a) in ("Press", "press", "click"):
                            action.doAction(a)
                            print(f"pressed {caption} ({control})")
                            return 0
        time.sleep(0.5)
    print(f"could not find {caption} ({control}) in {app_name}", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
