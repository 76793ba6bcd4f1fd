"""The viewer's link never writes into the wrong patient. Two patients are
open, the first with an unsaved examination of its own. A link request for
the first, while the second is in front, and another with the first in front,
each add an examination to the first and keep its edit; a request for a
third patient opens a window of its own; a request without an identifier is
ignored. The requests are the plug-in's D-Bus signal on the workstation's
session bus.
"""

import calendar
import os

import harness

REFERENCE_DATE = 978307200  # 2001-01-01 UTC, where the bus's dates count from


def patient(identifier, name):
    return {"referenceString": identifier, "nameString": name,
            "birthDate": "2012-07-21T00:00:00Z", "gender": 1,
            "exams": [{"examDate": "2022-01-10T00:00:00Z", "maturixIndex": 17,
                       "height": 128.0}]}


def bus_date(year, month, day):
    from gi.repository import GLib
    seconds = calendar.timegm((year, month, day, 0, 0, 0)) - REFERENCE_DATE
    return GLib.Variant("(sd)", ("date", float(seconds)))


class ViewerLink(harness.Scenario):
    def send_link_request(self, station, identifier, study, name="Link^Name"):
        from gi.repository import Gio, GLib
        bus = Gio.DBusConnection.new_for_address_sync(
                station.session_bus, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
                | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
        request = {"Identifier": GLib.Variant("s", identifier), "Name": GLib.Variant("s", name),
                   "DateOfBirth": bus_date(2012, 7, 21), "DateOfStudy": bus_date(*study),
                   "Gender": GLib.Variant("x", 1)}
        bus.emit_signal(None, "/org/vantrel/DistributedNotification",
                        "org.vantrel.DistributedNotification", "Notification",
                        GLib.Variant("(ssa{sv})",
                                     ("org.vantrel.Maturix.osirixLink", "OsirixLink", request)))
        bus.flush_sync()
        bus.close_sync()

    def examinations_shown(self, window):
        return harness.text_of(harness.beside(harness.find(window, "push button", "◀ Previous")))

    def test_requests_go_to_their_own_patient(self):
        first = os.path.join(self.desktop.folder, "E2E-4001.maturix")
        second = os.path.join(self.desktop.folder, "E2E-4002.maturix")
        self.write_patient(patient("E2E-4001", "First^Pat"), first)
        self.write_patient(patient("E2E-4002", "Second^Pat"), second)
        # The second patient's window opens last, in front.
        station = self.desktop.workstation("link", self.maturix, [first, second])
        self.addCleanup(station.quit)
        window_first = station.window("E2E-4001.maturix")
        window_second = station.window("E2E-4002.maturix")
        harness.press(harness.find(window_first, "push button", "New Exam"))
        harness.poll("the first patient's own new examination",
                     lambda: self.examinations_shown(window_first) == "2 of 2", tree=window_first)

        self.send_link_request(station, "E2E-4001", (2026, 11, 30))
        harness.poll("an examination added behind the second patient",
                     lambda: self.examinations_shown(window_first) == "3 of 3", tree=window_first)
        self.send_link_request(station, "E2E-4001", (2026, 12, 1))
        harness.poll("an examination added in front",
                     lambda: self.examinations_shown(window_first) == "4 of 4", tree=window_first)
        self.send_link_request(station, "", (2026, 12, 2))
        harness.poll("the empty identifier ignored",
                     lambda: "Link request ignored: the \"Identifier\" is empty" in station.log())
        self.send_link_request(station, "E2E-4003", (2026, 12, 3), name="Third^Pat")
        third = harness.poll("a window for the third patient", lambda: next(
                (w for w in harness._children(station.application) if harness.showing(w)
                 and w not in (window_first, window_second)
                 and harness.text_of(harness.find(w, "text", "Identifier:", timeout=1))
                 == "E2E-4003"), None), tree=station.application)
        self.assertEqual(harness.text_of(harness.find(third, "text", "Name:")), "Third^Pat")

        self.assertEqual(self.examinations_shown(window_second), "1 of 1")
        self.assertEqual(window_second.name, "E2E-4002.maturix", "the second patient was changed")
        self.assertEqual(harness.text_of(harness.find(window_second, "text", "Identifier:")),
                         "E2E-4002")
        harness.choose_menu(window_first, "File", "Save")
        exams = harness.poll("the first patient's file saved",
                             lambda: len(self.read_patient(first)["exams"]) == 4
                             and self.read_patient(first)["exams"])
        dates = [exam["examDate"] for exam in exams]
        self.assertIn("2026-11-30T00:00:00Z", dates)
        self.assertIn("2026-12-01T00:00:00Z", dates)
        self.assertEqual(self.read_patient(first)["referenceString"], "E2E-4001")
        self.assertEqual(len(self.read_patient(second)["exams"]), 1)


if __name__ == "__main__":
    harness.main(ViewerLink)
