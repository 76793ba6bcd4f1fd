"""A file named like markup: a file that is no patient file, named as an HTML
image of /dev/zero, is handed to a running Maturix as a second start hands
its files over. The alert names the file exactly as written, and Maturix
never opens /dev/zero.
"""

import os
import subprocess

import harness

NAME = '<img src="file:%2Fdev%2Fzero">.maturix'


def environment_of(pid):
    with open("/proc/%d/environ" % pid, "rb") as file:
        pairs = (entry.split(b"=", 1) for entry in file.read().split(b"\0") if b"=" in entry)
        return {key.decode(): value.decode() for key, value in pairs}


def tracer_of(pid):
    with open("/proc/%d/status" % pid) as file:
        line = next(line for line in file if line.startswith("TracerPid:"))
    return int(line.split()[1])


class MarkupFileName(harness.Scenario):
    def test_name_is_shown_as_written(self):
        station = self.desktop.workstation("markup", self.maturix)
        self.addCleanup(station.quit)
        path = os.path.join(station.patients, NAME)
        with open(path, "wb") as file:
            file.write(b"not a patient file")

        # Every file Maturix opens from here on, in any of its threads.
        opened = os.path.join(self.desktop.folder, "opened.txt")
        tracer = subprocess.Popen(["strace", "-f", "-qq", "-s", "4096", "-e", "trace=open,openat",
                                   "-o", opened, "-p", str(station.process.pid)])
        self.addCleanup(tracer.wait)
        self.addCleanup(tracer.terminate)
        harness.poll("strace to attach", lambda: tracer_of(station.process.pid) != 0)

        bus = environment_of(station.process.pid)["DBUS_SESSION_BUS_ADDRESS"]
        subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.vantrel.Maturix",
                        "/org/vantrel/Documents", "org.vantrel.Documents.open",
                        "array:string:" + path, "boolean:false"],
                       env=dict(os.environ, DBUS_SESSION_BUS_ADDRESS=bus), check=True,
                       stdout=subprocess.DEVNULL)

        alert = station.alert()
        self.assertTrue(any(NAME in text for text in alert.texts), alert.texts)
        alert.press("OK")

        tracer.terminate()
        tracer.wait()
        with open(opened, encoding="utf-8", errors="replace") as file:
            calls = file.read()
        self.assertIn(NAME.replace('"', '\\"'), calls)  # the trace saw the file itself
        self.assertNotIn("/dev/zero", calls)


if __name__ == "__main__":
    harness.main(MarkupFileName)
