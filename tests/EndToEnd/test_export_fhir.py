"""FHIR for the health record: the user chooses File > Export FHIR…, names
the file in the dialog, and the window says where it went. The file is a
Bundle valid under HL7's FHIR R4 JSON schema, the very Bundle that
maturix-cli fhir prints for the patient file. A file that cannot be written
is reported in an alert with the reason, and nothing is written.
"""

import json
import os
import subprocess

import harness

PATIENT = {
    "referenceString": "E2E-7001",
    "nameString": "Roe^Kim",
    "birthDate": "2012-03-05T00:00:00Z",
    "gender": 1,
    "exams": [{"examDate": "2023-03-06T00:00:00Z", "maturixIndex": 20, "height": 140.5},
              {"examDate": "2024-03-04T00:00:00Z", "maturixIndex": 0, "height": 146.0}],
}


class ExportFhir(harness.Scenario):
    @classmethod
    def set_up_scenario(cls):
        cls.patient_file = os.path.join(cls.desktop.folder, "E2E-7001.maturix")
        cls.write_patient(PATIENT, cls.patient_file)
        cls.station = cls.desktop.workstation("records", cls.maturix, [cls.patient_file])
        cls.window = cls.station.window("E2E-7001.maturix")

    def export_as(self, name):
        harness.choose_menu(self.window, "File", "Export FHIR…")
        dialog = self.station.window("Export FHIR")
        harness.set_text(harness.find(dialog, "text", "File name:"), name)
        harness.press(harness.find(dialog, "push button", "Export"))
        return os.path.join(self.station.charts, name + ".json")

    def test_bundle_for_the_record(self):
        path = self.export_as("record")
        status = "Exported to " + path
        harness.poll("the window to say '%s'" % status,
                     lambda: status in harness.label_texts(self.window), tree=self.window)
        checked = subprocess.run(["/usr/bin/python3", os.environ["VALIDATE_FHIR"],
                                  os.environ["FHIR_SCHEMA"], path], capture_output=True, text=True)
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
        printed = subprocess.run([self.cli, "fhir", self.patient_file], check=True,
                                 capture_output=True, text=True).stdout
        with open(path, encoding="utf-8") as file:
            self.assertEqual(json.load(file), json.loads(printed))

    def test_failure_shows_the_reason(self):
        # A link in the export folder, which a save never follows.
        elsewhere = os.path.join(self.desktop.folder, "elsewhere.json")
        os.symlink(elsewhere, os.path.join(self.station.charts, "linked.json"))
        self.export_as("linked")
        alert = self.station.alert()
        self.assertIn("The FHIR Bundle could not be exported.", alert.texts)
        self.assertTrue(any("linked.json" in text for text in alert.texts), alert.texts)
        alert.press("OK")
        self.assertFalse(os.path.lexists(elsewhere))


if __name__ == "__main__":
    harness.main(ExportFhir)
