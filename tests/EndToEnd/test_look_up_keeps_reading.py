"""With Auto Save on, nothing typed into a new window is lost.

A reading typed into a new window survives the look-up: the user enters the
sex, a standard and a height, then the identifier of a patient whose file is
in the database folder; asked whether to open the file, the user chooses
Open. The patient's window shows the new examination among the stored ones,
unsaved, and File > Save writes it.

The automatic save of a new patient goes on in a window of the saved file,
on the examination the user was on.
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
    def new_window(self, name):
        """A workstation with a new window, once the splash window has gone
        and the database folder has been scanned (1.5 s after launch)."""
        started = time.monotonic()
        station = AutoSaveWorkstation(self.desktop, name, self.maturix, [])
        self.addCleanup(station.quit)
        window = station.window("Untitled")
        time.sleep(max(0.0, started + 4.0 - time.monotonic()))
        harness.poll("the splash window to go", lambda: not any(
                w.name == "About" and harness.showing(w)
                for w in harness._children(station.application)))
        return station, window

    def read_with(self, window, height):
        """Female, the fifth standard and the height."""
        sex = harness.labelled(window, "Sex:", "combo box")
        harness.choose_item(sex, "Female")
        standards = harness.poll("the standards of girls", lambda: next(
                (c for c in harness._descendants(window) if c.getRoleName() == "combo box"
                 and harness.showing(c) and c.path != sex.path), None), tree=window)
        titles = harness.poll("the standards' titles", lambda: [
                a.name for a in harness._children(harness._children(standards)[0])])
        harness.choose_item(standards, titles[5])
        harness.type_into(harness.find(window, "text", "Height (cm):"), height)

    def examinations_shown(self, window):
        return harness.text_of(harness.beside(harness.find(window, "push button", "◀ Previous")))

    def test_automatic_save_goes_on_with_the_examination_on_show(self):
        station, window = self.new_window("automatic")
        harness.type_into(harness.find(window, "text", "Identifier:"), "3002")
        self.read_with(window, "150.5")
        harness.press(harness.find(window, "push button", "New Exam"))
        harness.poll("a second examination",
                     lambda: self.examinations_shown(window) == "2 of 2", tree=window)
        harness.press(harness.find(window, "push button", "◀ Previous"))
        harness.poll("the first examination",
                     lambda: self.examinations_shown(window) == "1 of 2", tree=window)

        harness.choose_menu(window, "File", "Save")
        saved = station.window("3002.maturix")
        harness.poll("the examination the user was on",
                     lambda: self.examinations_shown(saved) == "1 of 2", tree=saved)
        self.assertEqual(harness.text_of(harness.find(saved, "text", "Height (cm):")), "150.5")
        exams = self.read_patient(os.path.join(station.patients, "3002.maturix"))["exams"]
        self.assertEqual([exam["height"] for exam in exams], [150.5, 0.0])

    def test_typed_reading_goes_into_the_opened_patient(self):
        # In the database folder before the application scans it.
        patients = os.path.join(self.desktop.folder, "look-up", "Patients")
        os.makedirs(patients)
        path = os.path.join(patients, "E2E-3001.maturix")
        self.write_patient(PATIENT, path)
        station, window = self.new_window("look-up")
        self.read_with(window, "142.5")
        harness.type_into(harness.find(window, "text", "Identifier:"), "e2e-3001")
        question = station.alert()
        self.assertEqual(question.texts, [
            "Patient Data Found",
            "A previously saved data file is available for patient 'E2E-3001'.  "
            "Would you like to open it?"])
        question.press("Open")

        patient = harness.window_titled(station, "E2E-3001.maturix")
        harness.poll("the typed examination on show",
                     lambda: self.examinations_shown(patient) == "2 of 2", tree=patient)
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
