"""A hand radiograph opened with File > Open: its header fills the patient
(identifier, name, birth date, sex, examination date), the window shows it
in the Radiograph tab with the standards and the chart still at hand, and
opening the same study again adds no second examination. A file that is no
image is refused with an alert, and what was typed stays.
"""

import datetime
import os

import pydicom
from pydicom.uid import generate_uid

import harness

PATIENT_ID = "E2E-3001"
SAMPLE = os.path.join(os.path.dirname(pydicom.__file__), "data", "test_files", "MR_small.dcm")


def write_radiograph(path, study_uid):
    """pydicom's sample MR image made a hand radiograph of the patient."""
    image = pydicom.dcmread(SAMPLE)
    image.PatientID = PATIENT_ID
    image.PatientName = "Doe^Jane"
    image.PatientBirthDate = "20120301"
    image.PatientSex = "F"
    image.StudyInstanceUID = study_uid
    image.SeriesInstanceUID = generate_uid()
    image.SOPInstanceUID = generate_uid()
    image.file_meta.MediaStorageSOPInstanceUID = image.SOPInstanceUID
    image.StudyDate = "20230915"
    image.AccessionNumber = "ACC3001"
    image.Modality = "DX"
    image.save_as(path)


class Radiograph(harness.Scenario):
    @classmethod
    def set_up_scenario(cls):
        cls.station = cls.desktop.workstation("radiograph", cls.maturix)
        cls.window = cls.station.window("Untitled")

    def open_with_panel(self, path):
        harness.choose_menu(self.window, "File", "Open…")
        panel = self.station.window("Open")
        harness.set_text(harness.find(panel, "text", "File name:"), path)
        harness.press(harness.find(panel, "push button", "Open"))

    def field(self, label):
        return harness.text_of(harness.labelled(self.window, label, "text"))

    def test_1_a_file_that_is_no_image_is_refused(self):
        name = harness.labelled(self.window, "Name:", "text")
        harness.set_text(name, "typed by hand")
        path = os.path.join(self.desktop.folder, "notes.dcm")
        with open(path, "wb") as file:
            file.write(b"\0" * 128 + b"DICM" + b"no image here")
        self.open_with_panel(path)
        alert = self.station.alert()
        self.assertEqual(alert.texts[0], "“notes.dcm” cannot be opened as a radiograph.")
        alert.press("OK")
        self.assertEqual(harness.text_of(name), "typed by hand")

    def test_2_the_image_fills_the_patient_and_shows(self):
        path = os.path.join(self.desktop.folder, "hand.dcm")
        write_radiograph(path, generate_uid())
        self.open_with_panel(path)
        # The window with what was typed keeps it; the patient gets a new one.
        window = harness.poll("a window of patient " + PATIENT_ID, lambda: next(
                (w for w in harness._children(self.station.application)
                 if harness.showing(w) and w.name.startswith("Untitled")
                 and harness.text_of(harness.labelled(w, "Identifier:", "text")) == PATIENT_ID), None))
        self.window = window
        self.assertEqual(self.field("Name:"), "Doe, Jane")
        self.assertEqual(harness.text_of(harness.labelled(window, "Sex:", "combo box")), "Female")
        shown = datetime.date(2023, 9, 15)
        self.assertIn(str(shown.year), self.field("Examination Date:"))
        # The tab on show: the image's view is, and the chart beside it.
        harness.poll("the radiograph on show", lambda: next(
                (a for a in harness._descendants(window) if a.name == "Radiograph"
                 and a.getRoleName() != "page tab" and harness.showing(a)), None), tree=window)

        # Opened again, the study is the examination it already is.
        self.open_with_panel(path)
        self.assertEqual(harness.text_of(harness.beside(harness.find(window, "push button", "◀ Previous"))),
                         "1 of 1")


if __name__ == "__main__":
    harness.main(Radiograph)
