#!/usr/bin/python3
"""Operates a running program through the accessibility bus, as a screen
reader would. Usage: operate.py APP NAME|DESCRIPTION [NAME|DESCRIPTION ...]
Each control is found by its accessible name (its caption) and description
(the form's control name, such as Check1(0)); buttons are pressed, check
boxes toggled, in the order given."""
import sys
import time

import pyatspi

ROLES = {"push button": ("Press", "press", "click"), "check box": ("Toggle", "toggle", "Press", "click")}


def find(node, name, description):
    try:
        if node.getRoleName() in ROLES and node.name == name and node.description == description:
            return node
        for i in range(node.childCount):
            hit = find(node.getChildAtIndex(i), name, description)
            if hit is not None:
                return hit
    except Exception:
        pass
    return None


def application(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name.lower() == name.lower():
            return app
    return None


def operate(app_name, target, deadline):
    name, description = target.split("|", 1)
    while time.time() < deadline:
        app = application(app_name)
        control = find(app, name, description) if app is not None else None
        if control is not None:
            action = control.queryAction()
            wanted = ROLES[control.getRoleName()]
            for a in range(action.nActions):
                if action.getName(a) in wanted:
                    action.doAction(a)
                    print(f"{action.getName(a).lower()}: {name} ({description})")
                    return True
        time.sleep(0.3)
    print(f"could not operate {name} ({description}) in {app_name}", file=sys.stderr)
    return False


def main():
    deadline = time.time() + 30
    for target in sys.argv[2:]:
        if not operate(sys.argv[1], target, deadline):
            return 1
        time.sleep(0.2)
    return 0


if __name__ == "__main__":
    sys.exit(main())
