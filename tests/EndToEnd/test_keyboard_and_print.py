"""A clinician's day at the keyboard and the printer: every menu command is
enabled as the menu shows it; File > Print… prints the chart to a PDF file
through the print dialog, and a second print within 30 s asks first;
Ctrl+, opens Preferences; Ctrl+E while the height is still being typed adds
an examination and the height stays with the examination it was typed for.
A print from the command line on a computer without a printer says so.
"""

import os
import re

import harness

PATIENT = {
    "referenceString": "E2E-3003",
    "nameString": "Poe^Ann",
    "birthDate": "2013-02-14T00:00:00Z",
    "gender": 2,
    "exams": [{"examDate": "2024-06-03T00:00:00Z", "maturixIndex": 18, "height": 141.0}],
}
MENUS = {
    "File": ["New", "Open…", "Find in PACS…", "Save", "Save As…", "Export", "Batch Export…", "Export FHIR…",
             "Print…", "Close",
             "Close All", "Quit"],
    "Examination": ["New Examination", "Delete Examination", "Previous Examination",
                    "Next Examination", "Copy Report"],
    "Settings": ["Preferences…"],
    "Help": ["Maturix Help", "Maturix Web Site", "Technical Support…", "Check for Updates…",
             "About Maturix"],
}


class KeyboardAndPrint(harness.Scenario):
    @classmethod
    def set_up_scenario(cls):
        cls.patient_file = os.path.join(cls.desktop.folder, "E2E-3003.maturix")
        cls.write_patient(PATIENT, cls.patient_file)
        cls.station = cls.desktop.workstation("clinic", cls.maturix, [cls.patient_file])
        cls.window = cls.station.window("E2E-3003.maturix")

    def test_every_menu_command_enabled_as_shown(self):
        for menu, titles in MENUS.items():
            with self.subTest(menu=menu):
                self.assertEqual(harness.menu_as_shown(self.window, menu),
                                 [(title, True) for title in titles])

    def print_dialog(self):
        harness.choose_menu(self.window, "File", "Print…")
        return self.station.window("Print")

    def test_print_to_pdf_file_and_asks_before_a_second_print(self):
        pdf = os.path.join(self.station.home, "E2E-3003 chart.pdf")
        dialog = self.print_dialog()
        # No printer on this computer: the dialog offers the PDF file.
        harness.choose_item(harness.labelled(dialog, "Name:", "combo box"), "Print to File (PDF)")
        harness.set_text(harness.labelled(dialog, "Output file:", "text"), pdf)
        harness.press(harness.find(dialog, "push button", "Print"))
        harness.poll("the PDF file", lambda: os.path.exists(pdf) and os.path.getsize(pdf) > 0)
        harness.poll("the print dialog to close", lambda: not harness.showing(dialog))
        with open(pdf, "rb") as file:
            content = file.read()
        self.assertTrue(content.startswith(b"%PDF-"))
        self.assertEqual(len(re.findall(rb"/Type\s*/Page\b(?!s)", content)), 1)
        self.assertGreater(len(content), 5000, "no chart in the PDF")

        harness.choose_menu(self.window, "File", "Print…")
        alert = self.station.alert()
        self.assertEqual(alert.texts, ["Recently Printed",
                                       "This document was printed in the last 30 seconds."])
        alert.press("OK")
        dialog = self.station.window("Print")
        harness.press(harness.find(dialog, "push button", "Cancel"))

    def test_preferences_by_shortcut(self):
        harness.focus(harness.labelled(self.window, "Name:", "text"))
        harness.press_key(ord(","), control=True)
        preferences = self.station.window("Preferences")
        harness.press(harness.find(preferences, "push button", "Cancel"))
        harness.poll("Preferences to close", lambda: not harness.showing(preferences))

    def test_new_examination_while_typing_the_height(self):
        height = harness.labelled(self.window, "Height (cm):", "text")
        harness.focus(height)
        harness.press_key(ord("a"), control=True)
        harness.type_keys("152.5")
        harness.poll("the typed height", lambda: harness.text_of(height) == "152.5", tree=height)
        harness.press_key(ord("e"), control=True)
        shown = harness.beside(harness.find(self.window, "push button", "◀ Previous"))
        harness.poll("a second examination", lambda: harness.text_of(shown) == "2 of 2",
                     tree=self.window)
        exam_date = harness.labelled(self.window, "Examination Date:", "text")
        harness.poll("the new examination's date to have the focus",
                     lambda: exam_date.getState().contains(harness.pyatspi.STATE_FOCUSED),
                     tree=self.window)
        harness.press_key(ord("s"), control=True)
        harness.poll("the save", lambda: len(self.read_patient(self.patient_file)["exams"]) == 2)
        exams = self.read_patient(self.patient_file)["exams"]
        self.assertEqual((exams[0]["examDate"], exams[0]["height"]),
                         (PATIENT["exams"][0]["examDate"], 152.5))

    def test_print_from_command_line_without_printer_says_so(self):
        station = self.desktop.workstation("night-shift", self.maturix,
                                           ["--print", self.patient_file])
        self.addCleanup(station.quit)
        alert = station.alert()
        self.assertEqual(alert.texts[0], "No Printer")
        alert.press("OK")
        harness.poll("the print start to end", lambda: station.process.poll() is not None)
        self.assertEqual(station.process.returncode, 0)


if __name__ == "__main__":
    harness.main(KeyboardAndPrint)
