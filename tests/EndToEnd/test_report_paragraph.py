"""The report paragraph on its way into dictation: Ctrl+Shift+C while the
height is still being typed puts the paragraph of the examination on show,
with that height, on the clipboard, as maturix-cli report writes it. In
Preferences the site's template shows in the live preview; an unknown
placeholder shows as an error and OK refuses it until it is corrected.
Examination > Copy Report, and the window's button, then give the site's
paragraph, and the printed chart carries it underneath. The built-in
template goes back stored as none; the structured-report box is stored
beside it.
"""

import configparser
import copy
import json
import os
import subprocess

import harness

PATIENT = {
    "referenceString": "E2E-5005",
    "nameString": "Doe^Kim",
    "birthDate": "2004-06-01T00:00:00Z",
    "gender": 2,
    "exams": [{"examDate": "2014-06-01T00:00:00Z", "maturixIndex": 18, "height": 138.5},
              {"examDate": "2015-06-01T00:00:00Z", "maturixIndex": 19, "height": 144.0}],
}
TYPED_HEIGHT = "145.5"
FAULTY_TEMPLATE = "Bone age {boneAge}[, {sdScore} SD {sdDirection} the mean]; {heightSD}"
SITE_TEMPLATE = "Bone age {boneAge}[, {sdScore} SD {sdDirection} the mean]. Height {height} cm."
SITE_PARAGRAPH = "Bone age 11 years 0 months, 0.1 SD below the mean. Height 145.5 cm."


class ReportParagraph(harness.Scenario):
    @classmethod
    def set_up_scenario(cls):
        cls.patient_file = os.path.join(cls.desktop.folder, "E2E-5005.maturix")
        cls.write_patient(PATIENT, cls.patient_file)
        cls.station = cls.desktop.workstation("dictation", cls.maturix, [cls.patient_file])
        cls.window = cls.station.window("E2E-5005.maturix")

    def cli_report(self, patient):
        path = os.path.join(self.desktop.folder, "typed.json")
        with open(path, "w") as file:
            json.dump(patient, file)
        return subprocess.run([self.cli, "report", path], check=True, capture_output=True,
                              text=True).stdout.strip()

    def clipboard_to_hold(self, text):
        harness.poll("the clipboard to hold %r" % text, lambda: harness.clipboard_text() == text)

    def test_copy_with_site_template_and_print(self):
        typed = copy.deepcopy(PATIENT)
        typed["exams"][-1]["height"] = float(TYPED_HEIGHT)
        default_paragraph = self.cli_report(typed)
        self.assertIn("Height 145.5 cm", default_paragraph)

        height = harness.labelled(self.window, "Height (cm):", "text")
        harness.focus(height)
        harness.press_key(ord("a"), control=True)
        harness.type_keys(TYPED_HEIGHT)
        harness.poll("the typed height", lambda: harness.text_of(height) == TYPED_HEIGHT, tree=height)
        harness.press_key_with_shift(ord("c"), control=True)
        self.clipboard_to_hold(default_paragraph)

        harness.choose_menu(self.window, "Settings", "Preferences…")
        preferences = self.station.window("Preferences")
        harness.press(harness.find(preferences, "page tab", "Report"))
        harness.poll("the preview of the examination on show",
                     lambda: default_paragraph in harness.label_texts(preferences), tree=preferences)
        template = harness.find(preferences, "text", "Report template")

        harness.set_text(template, FAULTY_TEMPLATE)
        harness.poll("the preview and the error",
                     lambda: {"Bone age 11 years 0 months, 0.1 SD below the mean;",
                              "Unknown placeholder {heightSD}"}
                     <= set(harness.label_texts(preferences)), tree=preferences)
        harness.press(harness.find(preferences, "push button", "OK"))
        alert = self.station.alert()
        self.assertEqual(alert.texts, [
            "The report template names an unknown placeholder.",
            "{heightSD} stands for no value of the report. Correct it, or use the default template."])
        alert.press("OK")

        harness.set_text(template, SITE_TEMPLATE)
        harness.poll("the preview of the site's template",
                     lambda: SITE_PARAGRAPH in harness.label_texts(preferences), tree=preferences)
        self.assertFalse([text for text in harness.label_texts(preferences)
                          if text.startswith("Unknown placeholder")])
        harness.press(harness.find(preferences, "page tab", "Export"))
        structured = harness.find(preferences, "check box", "Export structured reports with the chart")
        harness.click(structured)
        harness.poll("the box to be ticked",
                     lambda: structured.getState().contains(harness.pyatspi.STATE_CHECKED), tree=structured)
        self.close_preferences(preferences)
        self.assertEqual(self.stored(), (SITE_TEMPLATE, "true"))

        self.assertIn(("Copy Report", True), harness.menu_as_shown(self.window, "Examination"))
        harness.choose_menu(self.window, "Examination", "Copy Report")
        self.clipboard_to_hold(SITE_PARAGRAPH)
        # Another program copies something else; the window's button copies again.
        subprocess.run(["xclip", "-selection", "clipboard", "-i"], input=b"dictated", check=True)
        self.clipboard_to_hold("dictated")
        harness.press(harness.find(self.window, "push button", "Copy Report"))
        self.clipboard_to_hold(SITE_PARAGRAPH)

        pdf = os.path.join(self.station.home, "E2E-5005 report.pdf")
        harness.choose_menu(self.window, "File", "Print…")
        dialog = self.station.window("Print")
        harness.choose_item(harness.labelled(dialog, "Name:", "combo box"), "Print to File (PDF)")
        harness.set_text(harness.labelled(dialog, "Output file:", "text"), pdf)
        harness.press(harness.find(dialog, "push button", "Print"))
        harness.poll("the PDF file", lambda: os.path.exists(pdf) and os.path.getsize(pdf) > 0)
        harness.poll("the print dialog to close", lambda: not harness.showing(dialog))
        self.assertIn(SITE_PARAGRAPH, harness.pdf_text(pdf))

        # The built-in template is stored as none, so that a later version's
        # improved one reaches the site.
        harness.choose_menu(self.window, "Settings", "Preferences…")
        preferences = self.station.window("Preferences")
        harness.press(harness.find(preferences, "page tab", "Report"))
        harness.press(harness.find(preferences, "push button", "Use Default Template"))
        harness.poll("the preview of the default template",
                     lambda: default_paragraph in harness.label_texts(preferences), tree=preferences)
        self.close_preferences(preferences)
        self.assertEqual(self.stored(), ("", "true"))

    def close_preferences(self, preferences):
        harness.press(harness.find(preferences, "push button", "OK"))
        harness.poll("Preferences to close", lambda: not harness.showing(preferences))

    def stored(self):
        """The report template and the structured-report box as stored."""
        settings = configparser.ConfigParser(interpolation=None)
        settings.optionxform = str
        settings.read(os.path.join(self.station.home, ".config", "Maturix", "Maturix.ini"))
        general = settings["General"]
        # QSettings quotes a value that holds a comma.
        return tuple(general.get(harness._ini_key(key)).removeprefix('"').removesuffix('"')
                     for key in ("Report Template", "Export Structured Report"))


if __name__ == "__main__":
    harness.main(ReportParagraph)
