#!/usr/bin/python3
"""Reads the running music box as a screen reader does, through AT-SPI, and
checks what it hears: the frame, every button with its press action, the
volume slider with its value, the song list with its rows, the status line
named by what it shows, the list's menu once it is open. Then it types a title into the search field and
presses 搜索 through the bus, and waits for the list to show the matches.
Exits 1 with the reasons when anything is off."""
import subprocess
import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

# PyGObject marks the interface getters deprecated in favour of names this
# version of libatspi does not have yet.
warnings.filterwarnings("ignore", category=DeprecationWarning)

problems = []


def walk(node, found):
    try:
        found.append(node)
        for i in range(node.get_child_count()):
            child = node.get_child_at_index(i)
            if child is not None and child.get_role() != Atspi.Role.TABLE_CELL:
                walk(child, found)
    except gi.repository.GLib.Error:
        pass  # a popup that went away while being read
    return found


def music_box():
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_name() == "musicbox":
            return app
    return None


def wait_for(what, test, seconds=10):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = test()
        if value:
            return value
        time.sleep(0.2)
    problems.append("timed out waiting for " + what)
    return None


def cells(tree):
    return [tree.get_child_at_index(i).get_name() for i in range(tree.get_child_count())
            if tree.get_child_at_index(i).get_role() == Atspi.Role.TABLE_CELL]


def main():
    app = wait_for("the music box on the accessibility bus", music_box)
    if app is None:
        return report()
    frames = [app.get_child_at_index(i) for i in range(app.get_child_count())]
    window = next((f for f in frames if f.get_name() == "音乐播放器"), None)
    if window is None or window.get_role() != Atspi.Role.FRAME:
        problems.append("no frame named 音乐播放器: %s" % [(f.get_role_name(), f.get_name()) for f in frames])
        return report()
    tree = wait_for("rows in the song list", lambda: next(
        (n for n in walk(window, []) if n.get_role() == Atspi.Role.TREE and len(cells(n)) >= 3), None))
    if tree is None:
        return report()
    nodes = walk(window, [])
    by_name = {}
    for n in nodes:
        by_name.setdefault((n.get_role(), n.get_name()), n)

    for name in ["播放/暂停", "停止", "打开文件", "静音", "最小化", "最大化", "关闭", "歌曲分类",
                 "搜索", "刷新", "开始下载", "停止下载"]:
        button = by_name.get((Atspi.Role.PUSH_BUTTON, name))
        if button is None:
            problems.append("no push button named %s" % name)
            continue
        action = button.get_action_iface()
        actions = [action.get_action_name(i) for i in range(action.get_n_actions())] if action else []
        if "Press" not in actions:
            problems.append("%s cannot be pressed (actions %s)" % (name, actions))
    unnamed = [n.get_role_name() for n in nodes if n.get_role() == Atspi.Role.PUSH_BUTTON and not n.get_name()]
    if unnamed:
        problems.append("%d push buttons without a name" % len(unnamed))

    slider = by_name.get((Atspi.Role.SLIDER, "音量"))
    if slider is None or slider.get_value_iface() is None:
        problems.append("no slider named 音量 with a value")
    elif not 0 <= slider.get_value_iface().get_current_value() <= 60:
        problems.append("volume value out of range")
    if tree.get_name() != "歌曲列表":
        problems.append("the song list is named %r" % tree.get_name())
    if not by_name.get((Atspi.Role.LABEL, "准备就绪")):
        problems.append("no status line reading 准备就绪: %s" % sorted(
            n.get_name() for n in nodes if n.get_role() == Atspi.Role.LABEL))

    # The list's menu, opened with the mouse, is found from the application.
    box = tree.get_component_iface().get_extents(Atspi.CoordType.SCREEN)
    subprocess.run(["xdotool", "mousemove", str(box.x + 60), str(box.y + 40), "click", "3"], check=True)

    def menu_items():
        for i in range(app.get_child_count()):
            menu = app.get_child_at_index(i)
            if menu is not None and menu.get_role() == Atspi.Role.POPUP_MENU:
                return [menu.get_child_at_index(j).get_name() for j in range(menu.get_child_count())]
        return None
    items = wait_for("the list's menu on the bus", menu_items)
    if items is not None and "试听(P)" not in items:
        problems.append("the list's menu reads %s" % items)
    subprocess.run(["xdotool", "key", "Escape"], check=True)

    # A search through the bus: the text into the field, then 搜索 pressed.
    field = by_name.get((Atspi.Role.TEXT, "歌名或歌手"))
    search = by_name.get((Atspi.Role.PUSH_BUTTON, "搜索"))
    if field is not None and search is not None:
        field.get_editable_text_iface().set_text_contents("Autumn")
        action = search.get_action_iface()
        action.do_action([action.get_action_name(i) for i in range(action.get_n_actions())].index("Press"))
        def matches():
            names = cells(tree)
            rows = [names[i:i + 3] for i in range(0, len(names) - 2, 3)]
            return rows and all("Autumn" in row[1] + row[2] for row in rows) and rows
        rows = wait_for("only rows of Autumn after the search", matches)
        if not rows:
            print("field reads %r; list: %s" % (field.get_text_iface().get_text(0, -1), cells(tree)[:12]), file=sys.stderr)
        if rows:
            print("search through the bus: %d rows" % len(rows))
    return report()


def report():
    for p in problems:
        print("FAIL:", p, file=sys.stderr)
    if not problems:
        print("the screen reader hears every control")
    return 1 if problems else 0


sys.exit(main())
