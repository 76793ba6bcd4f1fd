"""Drives the real Maturix through its widgets, as a user would.

A Desktop is a private X display (Xvfb) with an accessibility bus and its
registry; each Workstation on it is one Maturix process with a home folder
and a D-Bus session bus of its own, so that two of them never hand files to
each other. Widgets are found over the accessibility bus (AT-SPI) by role
and name; every wait is a poll with a generous time-out, and a time-out
shows what the accessibility tree held.

Run with Debian's /usr/bin/python3, which has the GObject bindings.
"""

import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

ACCESSIBILITY_BUS_CONFIG = "/usr/share/defaults/at-spi2/accessibility.conf"
REGISTRY_DAEMON = "/usr/libexec/at-spi2-registryd"
TIMEOUT = 30.0

# Keys pressed through the registry (X keysyms).
KEY_HOME, KEY_DOWN, KEY_RETURN = 0xFF50, 0xFF54, 0xFF0D

pyatspi = None  # imported once the display and the bus exist


def poll(description, probe, timeout=TIMEOUT, tree=None):
    """Calls probe until it gives something true, and returns that. On
    time-out fails with the description and, if given, the tree's dump."""
    deadline = time.monotonic() + timeout
    failure = ""
    while True:
        _pump_events()
        try:
            found = probe()
        except ProcessEnded:
            raise
        except Exception as error:  # a widget may vanish while it is read
            found, failure = None, " (last: %r)" % error
        if found:
            return found
        if time.monotonic() > deadline:
            shown = "\n" + dump(tree) if tree is not None else ""
            raise AssertionError("Timed out waiting for %s%s.%s" % (description, failure, shown))
        time.sleep(0.1)


class ProcessEnded(AssertionError):
    """A process that the test relies on is gone: no use waiting."""


def free_port():
    """A loopback port that nothing listens on, as far as one can tell."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def _pump_events():
    if pyatspi is not None:
        from gi.repository import GLib
        context = GLib.MainContext.default()
        while context.pending():
            context.iteration(False)


class Processes:
    """Started processes, stopped in the reverse order at the end."""

    def __init__(self, folder):
        self.folder = folder
        self.running = []

    def start(self, name, arguments, env=None, capture=False, **options):
        with open(os.path.join(self.folder, name + ".log"), "ab") as log:
            process = subprocess.Popen(arguments, env=env,
                                       stdout=subprocess.PIPE if capture else log, stderr=log,
                                       **options)
        self.running.append(process)
        return process

    def stop(self, process):
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        if process.stdout:
            process.stdout.close()
        if process in self.running:
            self.running.remove(process)

    def stop_all(self):
        for process in reversed(list(self.running)):
            self.stop(process)

    def log(self, name):
        with open(os.path.join(self.folder, name + ".log"), errors="replace") as file:
            return file.read()


def _first_line(process):
    return process.stdout.readline().decode().strip()


def _session_bus(processes, name):
    """A private D-Bus session bus: its process and its address."""
    bus = processes.start(name, ["dbus-daemon", "--session", "--nofork", "--print-address"],
                          capture=True)
    return bus, _first_line(bus)


class Desktop:
    """Xvfb on a free display, an accessibility bus and its registry."""

    def __enter__(self):
        global pyatspi
        self.folder = tempfile.mkdtemp(prefix="maturix-e2e-")
        self.processes = Processes(self.folder)
        try:
            self._start()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        import pyatspi as module
        pyatspi = module
        return self

    def _start(self):
        read_end, write_end = os.pipe()
        self.processes.start("xvfb", ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                                      "1280x1024x24", "-nolisten", "tcp"], pass_fds=[write_end])
        os.close(write_end)
        with os.fdopen(read_end, "rb") as display:
            number = display.readline().decode().strip()
        if not number:
            raise RuntimeError("Xvfb did not start:\n" + self.processes.log("xvfb"))
        self.display = ":" + number
        bus = self.processes.start("accessibility-bus", [
            "dbus-daemon", "--config-file=" + ACCESSIBILITY_BUS_CONFIG, "--nofork",
            "--print-address"], capture=True)
        self.accessibility_bus = _first_line(bus)
        _, self.session_bus = _session_bus(self.processes, "desktop-session-bus")
        # This process and the registry reach the accessibility bus directly.
        os.environ.update(DISPLAY=self.display, AT_SPI_BUS_ADDRESS=self.accessibility_bus,
                          DBUS_SESSION_BUS_ADDRESS=self.session_bus)
        self.processes.start("registry", [REGISTRY_DAEMON], env=dict(os.environ))

    def __exit__(self, *error):
        self.processes.stop_all()
        if os.environ.get("MATURIX_E2E_KEEP"):
            print("Files and logs kept in", self.folder, file=sys.stderr)
        else:
            shutil.rmtree(self.folder, ignore_errors=True)
        return False

    def workstation(self, name, maturix, files=()):
        return Workstation(self, name, maturix, files)


class Scenario(unittest.TestCase):
    """Tests that share one desktop, started before the first and stopped
    after the last; main() gives them the paths of Maturix and maturix-cli."""

    maturix = cli = None

    @classmethod
    def setUpClass(cls):
        cls.started = time.monotonic()
        cls.desktop = Desktop().__enter__()
        try:
            cls.set_up_scenario()
        except BaseException:
            cls.desktop.__exit__(*sys.exc_info())
            raise

    @classmethod
    def set_up_scenario(cls):
        pass

    @classmethod
    def tearDownClass(cls):
        cls.desktop.__exit__(None, None, None)
        print("\n%s took %.1f s" % (cls.__name__, time.monotonic() - cls.started), file=sys.stderr)

    @classmethod
    def write_patient(cls, patient, path):
        """Writes a patient file from its JSON form, as maturix-cli reads it."""
        source = path + ".json"
        with open(source, "w") as file:
            json.dump(patient, file)
        subprocess.run([cls.cli, "convert", source, path], check=True)

    @classmethod
    def read_patient(cls, path):
        shown = subprocess.run([cls.cli, "show", path, "--json"], check=True,
                               capture_output=True, text=True).stdout
        return json.loads(shown)


def main(scenario):
    """Usage: test_SCENARIO.py MATURIX MATURIX_CLI [unittest arguments]"""
    scenario.maturix, scenario.cli = sys.argv[1:3]
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2, warnings="ignore")


def _ini_key(key):
    # QSettings' INI spelling of a key: anything but letters, digits and
    # "_-." is percent-encoded.
    return "".join(c if c.isascii() and (c.isalnum() or c in "_-.") else "%%%02X" % ord(c)
                   for c in key)


def _ini_value(value):
    if isinstance(value, bool):
        return "true" if value else "false"
    return str(value)


class Workstation:
    """One Maturix with its own home, preferences and session bus."""

    def __init__(self, desktop, name, maturix, files):
        self.desktop = desktop
        self.name = name
        self.home = os.path.join(desktop.folder, name)
        self.patients = os.path.join(self.home, "Patients")
        self.charts = os.path.join(self.home, "Charts")
        for folder in (self.patients, self.charts, os.path.join(self.home, ".config", "Maturix")):
            os.makedirs(folder, exist_ok=True)
        # Answered already, so that no first-run question comes up.
        settings = {
            "Version Check Interval": 31,
            "Automatic Version Check": False,
            "Save Directory": self.patients,
            "Export Directory": self.charts,
            "Auto Save": False,
        }
        with open(os.path.join(self.home, ".config", "Maturix", "Maturix.ini"), "w") as ini:
            ini.write("[General]\n")
            for key, value in settings.items():
                ini.write("%s=%s\n" % (_ini_key(key), _ini_value(value)))
        self._start(maturix, files)

    def _start(self, maturix, files):
        processes = self.desktop.processes
        self.bus_process, session_bus = _session_bus(processes, self.name + "-session-bus")
        self.session_bus = session_bus
        # Qt 6.4 does not come up on AT_SPI_BUS_ADDRESS alone (it announces
        # the bus before anyone listens): it asks its session bus for the
        # address, as on a desktop. This answers with the shared bus.
        announcer = processes.start(
                self.name + "-bus-address",
                ["/usr/bin/python3", os.path.abspath(__file__), "announce-bus", session_bus,
                 self.desktop.accessibility_bus], capture=True)
        self.announcer = announcer
        if _first_line(announcer) != "ready":
            raise RuntimeError("No accessibility bus address on the session bus:\n"
                               + processes.log(self.name + "-bus-address"))
        env = {key: value for key, value in os.environ.items()
               if not key.startswith(("XDG_", "QT_", "AT_SPI", "DBUS_"))}
        env.update(HOME=self.home, DISPLAY=self.desktop.display,
                   DBUS_SESSION_BUS_ADDRESS=session_bus, XDG_RUNTIME_DIR=self.home,
                   QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", LC_ALL="C.UTF-8")
        os.chmod(self.home, 0o700)
        self.process = processes.start(self.name, [maturix] + list(files), env=env)
        self.application = poll(
                "Maturix of %s on the accessibility bus" % self.name,
                lambda: self._running() and next(
                        (app for app in _children(pyatspi.Registry.getDesktop(0))
                         if app.get_process_id() == self.process.pid), None))

    def _running(self):
        if self.process.poll() is not None:
            raise ProcessEnded("Maturix of %s ended with %s:\n%s"
                               % (self.name, self.process.returncode, self.log()))
        return True

    def log(self):
        return self.desktop.processes.log(self.name)

    def window(self, name, timeout=TIMEOUT):
        """A top-level window by its title."""
        return poll("window '%s' of %s" % (name, self.name),
                    lambda: self._running() and next(
                            (w for w in _children(self.application)
                             if w.name == name and showing(w)), None),
                    timeout, self.application)

    def alert(self, timeout=TIMEOUT):
        """The alert on show: its texts and its buttons."""
        found = poll("an alert in %s" % self.name,
                     lambda: self._running() and next(
                             (w for w in _children(self.application)
                              if w.getRoleName() == "alert" and showing(w)), None),
                     timeout, self.application)
        return Alert(found)

    def quit(self):
        for process in (self.process, self.announcer, self.bus_process):
            self.desktop.processes.stop(process)


class Alert:
    def __init__(self, accessible):
        self.accessible = accessible
        labels = [a.name for a in _descendants(accessible) if a.getRoleName() == "label"]
        self.texts = [text for text in labels if text]
        self.buttons = [a for a in _descendants(accessible) if a.getRoleName() == "push button"]

    def press(self, title):
        button = next((b for b in self.buttons if b.name == title), None)
        if button is None:
            raise AssertionError("No button '%s' in the alert:\n%s" % (title, dump(self.accessible)))
        press(button)
        poll("the alert to close", lambda: not showing(self.accessible), tree=self.accessible)


def _children(accessible):
    accessible.clearCache()
    return [child for child in accessible if child is not None]


def _descendants(accessible):
    """Depth first. Pop-ups' lists and tables are not searched, as they are
    long and hold no controls."""
    for child in _children(accessible):
        yield child
        if child.getRoleName() not in ("list", "table", "combo box"):
            yield from _descendants(child)


def showing(accessible):
    return accessible.getState().contains(pyatspi.STATE_SHOWING)


def beside(accessible):
    """The widget that follows in the same parent (a field's status line)."""
    return accessible.parent[accessible.getIndexInParent() + 1]


def labelled(root, label, role):
    """The control of the role that a label names (it follows the label)."""
    control = beside(find(root, "label", label))
    if control.getRoleName() != role:
        raise AssertionError("'%s' labels a %s, not a %s:\n%s"
                             % (label, control.getRoleName(), role, dump(root)))
    return control


def find(root, role, name=None, timeout=TIMEOUT, hidden_too=False):
    """The first widget under root of the role (and name, when given)."""
    def probe():
        for candidate in _descendants(root):
            if candidate.getRoleName() == role and (name is None or candidate.name == name) \
                    and (hidden_too or showing(candidate)):
                return candidate
        return None
    return poll("%s '%s'" % (role, name), probe, timeout, root)


_action_bus = None


def _do_action(accessible, names):
    """Runs the action without waiting for it to finish: an action that
    opens a modal alert answers only when the alert closes."""
    global _action_bus
    actions = accessible.queryAction()
    available = [actions.getName(i) for i in range(actions.nActions)]
    index = next((i for i, n in enumerate(available) if n.lower() in names), None)
    if index is None:
        raise AssertionError("'%s' offers %s, not %s" % (accessible.name, available, names))
    from gi.repository import Gio, GLib
    if _action_bus is None:
        _action_bus = Gio.DBusConnection.new_for_address_sync(
                os.environ["AT_SPI_BUS_ADDRESS"],
                Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
                | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
    _action_bus.call(accessible.app.bus_name, accessible.path, "org.a11y.atspi.Action",
                     "DoAction", GLib.Variant("(i)", (index,)), None, Gio.DBusCallFlags.NONE,
                     -1, None, None)
    _action_bus.flush_sync()


def press(button):
    poll("'%s' to be enabled" % button.name,
         lambda: button.getState().contains(pyatspi.STATE_ENABLED), tree=button)
    _do_action(button, ("press", "click"))


def set_text(field, text):
    field.queryEditableText().setTextContents(text)
    poll("'%s' to read '%s'" % (field.name, text), lambda: text_of(field) == text, tree=field)


def text_of(accessible):
    accessible.clearCache()
    if "Text" in pyatspi.listInterfaces(accessible):
        return accessible.queryText().getText(0, -1)
    return accessible.name


def choose_menu(window, *path):
    """Chooses the menu item at path ("File", "Export") in the window's bar."""
    item = find(window, "menu bar", hidden_too=True)
    for title in path:
        item = poll("menu item '%s'" % title,
                    lambda: next((a for a in _descendants(item)
                                  if a.getRoleName() == "menu item" and a.name == title), None),
                    tree=window)
    press(item)


def choose_item(combo, title, attempts=3):
    """Chooses an item of a pop-up from the keyboard, so that the pop-up
    reports a choice by the user. Keys pressed before the open pop-up holds
    the keyboard are lost, so an attempt that shows no effect is repeated."""
    titles = poll("items of '%s'" % combo.name,
                  lambda: [a.name for a in _children(_children(combo)[0])], tree=combo)
    if title not in titles:
        raise AssertionError("'%s' offers %s, not '%s'" % (combo.name, titles, title))
    keys = [KEY_HOME] + [KEY_DOWN] * titles.index(title) + [KEY_RETURN]
    for attempt in range(attempts):
        list_view = _children(combo)[0]
        if not showing(list_view):
            _do_action(combo, ("press", "showmenu"))
            poll("the pop-up of '%s' to open" % combo.name, lambda: showing(list_view), tree=combo)
        for key in keys:
            pyatspi.Registry.generateKeyboardEvent(key, None, pyatspi.KEY_SYM)
        try:
            poll("'%s' to show '%s'" % (combo.name, title), lambda: text_of(combo) == title,
                 timeout=TIMEOUT / attempts, tree=combo)
            return
        except AssertionError:
            if attempt + 1 == attempts:
                raise


def dump(accessible, limit=400):
    """The tree under accessible, one widget a line, for failure reports."""
    lines = []

    def walk(node, level):
        if len(lines) >= limit:
            return
        try:
            state = "" if showing(node) else " (hidden)"
            lines.append("%s%s '%s'%s" % ("  " * level, node.getRoleName(), node.name, state))
            if node.getRoleName() not in ("list", "table"):
                for child in _children(node):
                    walk(child, level + 1)
        except Exception as error:
            lines.append("%s<gone: %s>" % ("  " * level, error))

    walk(accessible, 0)
    return "\n".join(lines)


class Orthanc:
    """A real PACS on loopback: Orthanc with a configuration of its own
    (storage in a temporary folder, free ports, any calling AE title may
    store, the REST API open to 127.0.0.1 only)."""

    AE_TITLE = "ORTHANC"

    def __init__(self, processes):
        self.processes = processes
        self.dicom_port = free_port()
        self.http_port = free_port()
        folder = os.path.join(processes.folder, "orthanc")
        os.makedirs(folder, exist_ok=True)
        configuration = {
            "Name": "MaturixEndToEnd",
            "StorageDirectory": os.path.join(folder, "storage"),
            "IndexDirectory": os.path.join(folder, "index"),
            "Plugins": [],
            "HttpPort": self.http_port,
            "RemoteAccessAllowed": False,
            "AuthenticationEnabled": False,
            "DicomAet": self.AE_TITLE,
            "DicomPort": self.dicom_port,
            "DicomCheckCalledAet": True,
            "DicomAlwaysAllowEcho": True,
            "DicomAlwaysAllowStore": True,
            "DicomCheckModalityHost": False,
            # Maturix's own AE title may also query and retrieve.
            "DicomModalities": {"maturix": ["MATURIX", "127.0.0.1", 4242]},
            "DicomScpTimeout": 5,
        }
        path = os.path.join(folder, "orthanc.json")
        with open(path, "w") as file:
            json.dump(configuration, file)
        self.process = processes.start("orthanc", ["Orthanc", path])
        poll("Orthanc to answer", lambda: self._running() and self._request("/system") is not None)

    def _running(self):
        if self.process.poll() is not None:
            raise ProcessEnded("Orthanc ended:\n" + self.processes.log("orthanc"))
        return True

    def _request(self, path, body=None):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request("http://127.0.0.1:%d%s" % (self.http_port, path), data)
        try:
            with urllib.request.urlopen(request, timeout=10) as reply:
                return json.load(reply)
        except OSError:
            return None

    def instances_of_patient(self, patient_id):
        """The simplified tags of every instance stored for the patient."""
        found = self._request("/tools/find", {"Level": "Instance",
                                              "Query": {"PatientID": patient_id}}) or []
        return [self._request("/instances/%s/simplified-tags" % i) for i in found]


def announce_bus(session_bus, accessibility_bus):
    """Serves org.a11y.Bus on a session bus, giving the shared bus address."""
    from gi.repository import Gio, GLib
    interface = Gio.DBusNodeInfo.new_for_xml(
            "<node><interface name='org.a11y.Bus'><method name='GetAddress'>"
            "<arg type='s' direction='out'/></method></interface></node>").interfaces[0]
    connection = Gio.DBusConnection.new_for_address_sync(
            session_bus, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
            | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
    connection.register_object(
            "/org/a11y/bus", interface,
            lambda *call: call[-1].return_value(GLib.Variant("(s)", (accessibility_bus,))),
            None, None)
    loop = GLib.MainLoop()
    connection.connect("closed", lambda *_: loop.quit())
    Gio.bus_own_name_on_connection(connection, "org.a11y.Bus", Gio.BusNameOwnerFlags.NONE,
                                   lambda *_: print("ready", flush=True),
                                   lambda *_: loop.quit())
    loop.run()


# Keys and clicks through the registry, as at a keyboard and mouse (X keysyms;
# Latin-1 characters are their own keysyms).
KEY_TAB = 0xFF09
KEY_ESCAPE = 0xFF1B
CONTROL_MASK = 1 << 2
TYPING_DELAY = 0.12  # seconds between keys: an ordinary typist


def press_key(keysym, control=False):
    """Presses a key, with Ctrl held when asked."""
    registry = pyatspi.Registry
    if control:
        registry.generateKeyboardEvent(CONTROL_MASK, None, pyatspi.KEY_LOCKMODIFIERS)
    try:
        registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)
    finally:
        if control:
            registry.generateKeyboardEvent(CONTROL_MASK, None, pyatspi.KEY_UNLOCKMODIFIERS)
    time.sleep(TYPING_DELAY)


def type_keys(text):
    """Types the text key by key."""
    for character in text:
        press_key(ord(character))


def click(accessible):
    """A click of the first mouse button in the middle of the widget."""
    extents = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(extents.x + extents.width // 2,
                                        extents.y + extents.height // 2, "b1c")


def focus(accessible):
    """Clicks into the widget, which gives its window the keyboard (Xvfb has
    no window manager to do it)."""
    click(accessible)
    poll("'%s' to have the focus" % accessible.name,
         lambda: accessible.getState().contains(pyatspi.STATE_FOCUSED), tree=accessible)


def select_all(field):
    """Selects the field's whole text, as a triple click would."""
    field.queryText().setSelection(0, 0, len(text_of(field)))


def type_into(field, text):
    """Types text into the field from the keyboard, as a user would (so that
    the window sees an edit begin), and ends the edit with the Return key. Letters,
    digits and ".-/" only: their keysyms are their ASCII codes."""
    _do_action(field, ("setfocus",))
    # Without a window manager no window may hold the keyboard (a splash
    # window that took it has gone): keys then go to the window under the
    # pointer.
    extents = field.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(extents.x + extents.width // 2,
                                        extents.y + extents.height // 2, "abs")
    type_keys(text)
    poll("'%s' to read '%s'" % (field.name, text), lambda: text_of(field).endswith(text), tree=field)
    press_key(KEY_RETURN)


def window_titled(workstation, prefix):
    """A top-level window whose title starts with prefix (an edited
    document's title ends with a marker)."""
    return poll("a window '%s…' of %s" % (prefix, workstation.name),
                lambda: workstation._running() and next(
                        (w for w in _children(workstation.application)
                         if w.name.startswith(prefix) and showing(w)), None),
                tree=workstation.application)


def label_texts(root):
    """The texts of the labels under root (status lines, notices)."""
    return [text_of(a) for a in _descendants(root) if a.getRoleName() == "label"]


def menu_as_shown(window, title):
    """Opens the menu of the bar and answers its commands as shown, each
    title with whether it is enabled; the menu is closed again."""
    bar = find(window, "menu bar", hidden_too=True)
    entry = next(a for a in _children(bar) if a.name == title)
    _do_action(entry, ("showmenu", "press"))
    menu = poll("menu '%s' to open" % title,
                lambda: next((a for a in _children(entry) if showing(a)), None), tree=window)
    commands = [(item.name, item.getState().contains(pyatspi.STATE_ENABLED))
                for item in _children(menu) if item.getRoleName() == "menu item"]
    # The first Esc may come before the open menu holds the keyboard.
    poll("menu '%s' to close" % title,
         lambda: press_key(KEY_ESCAPE) or time.sleep(0.2) or not showing(menu), tree=window)
    return commands


if __name__ == "__main__" and sys.argv[1:2] == ["announce-bus"]:
    announce_bus(*sys.argv[2:4])


SHIFT_MASK = 1 << 0


def press_key_with_shift(keysym, control=False):
    """Presses a key with Shift held, and Ctrl when asked."""
    registry = pyatspi.Registry
    registry.generateKeyboardEvent(SHIFT_MASK, None, pyatspi.KEY_LOCKMODIFIERS)
    try:
        press_key(keysym, control)
    finally:
        registry.generateKeyboardEvent(SHIFT_MASK, None, pyatspi.KEY_UNLOCKMODIFIERS)


def clipboard_text():
    """The text on the display's clipboard, as another program pastes it."""
    return subprocess.run(["xclip", "-selection", "clipboard", "-o"], capture_output=True,
                          timeout=TIMEOUT).stdout.decode()


def pdf_text(path):
    """The words of a PDF file, each run of white space made one space."""
    text = subprocess.run(["pdftotext", path, "-"], capture_output=True, check=True).stdout
    return " ".join(text.decode().split())
