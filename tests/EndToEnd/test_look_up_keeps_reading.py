"""A reading typed into a new window is not lost to the look-up: with Auto
Save on, the user enters the sex, a standard and a height, then the
identifier of a patient whose file is in the database folder; asked whether
to open the file, the user chooses Open. The patient's window shows the new
examination among the stored ones, unsaved, and File > Save writes it.
"""

import os
import time

import harness

PATIENT = {
    "referenceString": "E2E-3001",
    "nameString": "Poe^Ann",
    "birthDate": "2013-04-02T00:00:00Z",
    "gender": 2,
    "exams": [{"examDate": "2023-01-12T00:00:00Z", "maturixIndex": 18, "height": 133.5}],
}


class AutoSaveWorkstation(harness.Workstation):
    def _start(self, maturix, files):
        with open(os.path.join(self.home, ".config", "Maturix", "Maturix.ini"), "a") as ini:
            ini.write("Auto%20Save=true\n")
        super()._start(maturix, files)


class LookUpKeepsReading(harness.Scenario):
    def test_typed_reading_goes_into_the_opened_patient(self):
        # In the database folder before the application scans it.
        patients = os.path.join(self.desktop.folder, "look-up", "Patients")
        os.makedirs(patients)
        path = os.path.join(patients, "E2E-3001.maturix")
        self.write_patient(PATIENT, path)
        started = time.monotonic()
        station = AutoSaveWorkstation(self.desktop, "look-up", self.maturix, [])
        self.addCleanup(station.quit)
        window = station.window("Untitled")
        # Once the splash window has gone and the database folder has been
        # scanned (1.5 s after launch), the keyboard goes to the patient window.
        time.sleep(max(0.0, started + 4.0 - time.monotonic()))

        harness.choose_item(harness.labelled(window, "Sex:", "combo box"), "Female")
        sex = harness.labelled(window, "Sex:", "combo box")
        standards = harness.poll("the standards of girls", lambda: next(
                (c for c in harness._descendants(window) if c.getRoleName() == "combo box"
                 and harness.showing(c) and c.path != sex.path), None), tree=window)
        titles = harness.poll("the standards' titles",
                              lambda: [a.name for a in harness._children(harness._children(standards)[0])])
        harness.choose_item(standards, titles[5])
        harness.type_into(harness.find(window, "text", "Height (cm):"), "142.5")

        harness.type_into(harness.find(window, "text", "Identifier:"), "e2e-3001")
        question = station.alert()
        self.assertEqual(question.texts, [
            "Patient Data Found",
            "A previously saved data file is available for patient 'E2E-3001'.  "
            "Would you like to open it?"])
        question.press("Open")

        patient = harness.window_titled(station, "E2E-3001.maturix")
        shown = harness.beside(harness.find(patient, "push button", "◀ Previous"))
        harness.poll("the typed examination on show",
                     lambda: harness.text_of(shown) == "2 of 2", tree=patient)
        self.assertEqual(harness.text_of(harness.find(patient, "text", "Height (cm):")), "142.5")
        self.assertNotEqual(patient.name, "E2E-3001.maturix", "not marked as changed")
        harness.poll("the new window to give way",
                     lambda: not any(w.name.startswith("Untitled")
                                     for w in harness._children(station.application)
                                     if harness.showing(w)))

        harness.choose_menu(patient, "File", "Save")
        exams = harness.poll("the reading in the file",
                             lambda: len(self.read_patient(path)["exams"]) == 2
                             and self.read_patient(path)["exams"])
        self.assertEqual(exams[0]["examDate"], PATIENT["exams"][0]["examDate"])
        self.assertEqual((exams[1]["maturixIndex"], exams[1]["height"]), (5, 142.5))


if __name__ == "__main__":
    harness.main(LookUpKeepsReading)
