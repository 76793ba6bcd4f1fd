"""A save through the save panel (Auto Save off) leaves the user working on:
the user opens a patient, steps back to the first examination, enters its
height and saves it under a new name with File > Save As…. The application
keeps running, the window is tied to the new file and still shows the first
examination; the next edit there and File > Save go into that file, without
a panel.
"""

import os
import time

import harness

PATIENT = {
    "referenceString": "E2E-5001",
    "nameString": "Doe^Kim",
    "birthDate": "2012-07-21T00:00:00Z",
    "gender": 2,
    "exams": [{"examDate": "2022-01-10T00:00:00Z", "maturixIndex": 0, "height": 0.0},
              {"examDate": "2023-01-12T00:00:00Z", "maturixIndex": 18, "height": 133.5}],
}


class SaveThroughPanel(harness.Scenario):
    def examinations_shown(self, window):
        return harness.text_of(harness.beside(harness.find(window, "push button", "◀ Previous")))

    def test_window_goes_on_with_the_saved_file(self):
        patients = os.path.join(self.desktop.folder, "panel", "Patients")
        os.makedirs(patients)
        original = os.path.join(patients, "E2E-5001.maturix")
        self.write_patient(PATIENT, original)
        started = time.monotonic()
        station = self.desktop.workstation("panel", self.maturix, [original])
        self.addCleanup(station.quit)
        window = station.window("E2E-5001.maturix")
        # Once the splash window has gone, the keyboard goes to the patient.
        time.sleep(max(0.0, started + 4.0 - time.monotonic()))
        harness.press(harness.find(window, "push button", "◀ Previous"))
        harness.poll("the first examination", lambda: self.examinations_shown(window) == "1 of 2",
                     tree=window)
        harness.type_into(harness.find(window, "text", "Height (cm):"), "131.5")

        harness.choose_menu(window, "File", "Save As…")
        panel = harness.poll("the save panel", lambda: next(
                (w for w in harness._children(station.application)
                 if w.getRoleName() in ("dialog", "file chooser") and harness.showing(w)), None),
                tree=station.application)
        copy = os.path.join(patients, "E2E-5001-B.maturix")
        harness.set_text(harness.find(panel, "text", "File name:"), copy)
        harness.press(harness.find(panel, "push button", "Save"))

        saved = harness.window_titled(station, "E2E-5001-B.maturix")
        self.assertEqual(saved.name, "E2E-5001-B.maturix", "still marked as changed")
        self.assertEqual(self.examinations_shown(saved), "1 of 2")
        self.assertEqual(self.read_patient(copy)["exams"][0]["height"], 131.5)
        station._running()

        sex = harness.labelled(saved, "Sex:", "combo box")
        standards = harness.poll("the standards of girls", lambda: next(
                (c for c in harness._descendants(saved) if c.getRoleName() == "combo box"
                 and harness.showing(c) and c.path != sex.path), None), tree=saved)
        titles = harness.poll("the standards' titles", lambda: [
                a.name for a in harness._children(harness._children(standards)[0])])
        harness.choose_item(standards, titles[7])
        harness.choose_menu(saved, "File", "Save")
        harness.poll("the standard in the new file",
                     lambda: self.read_patient(copy)["exams"][0]["maturixIndex"] == 7)
        self.assertEqual(self.read_patient(original)["exams"][0]["height"], 0.0)
        station._running()


if __name__ == "__main__":
    harness.main(SaveThroughPanel)
