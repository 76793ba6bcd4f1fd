"""Find in PACS: with the PACS set in Preferences, the user finds a
patient's two studies by the Patient ID, sees their dates and descriptions,
and retrieves the latest; its image arrives in the private cache folder
and opens in a window of its patient, on the Radiograph tab.
"""

import io
import os
import urllib.request

import pydicom
from pydicom.uid import generate_uid

import harness

PATIENT = {
    "referenceString": "E2E-2001",
    "nameString": "Doe^Jane",
    "birthDate": "2014-03-10T00:00:00Z",
    "gender": 2,
    "exams": [{"examDate": "2024-05-02T00:00:00Z", "maturixIndex": 18, "height": 140.5}],
}
SAMPLE = os.path.join(os.path.dirname(pydicom.__file__), "data", "test_files", "MR_small.dcm")


def radiograph(study_uid, sop_uid, date, modality, description):
    """A sample image made into a study of the patient, as DICOM bytes."""
    image = pydicom.dcmread(SAMPLE)
    image.PatientID = "E2E-2002"
    image.PatientName = "Roe^Ann"
    image.PatientBirthDate = "20120101"
    image.PatientSex = "F"
    image.StudyInstanceUID = study_uid
    image.SeriesInstanceUID = generate_uid()
    image.SOPInstanceUID = sop_uid
    image.file_meta.MediaStorageSOPInstanceUID = sop_uid
    image.StudyDate = date
    image.Modality = modality
    image.StudyDescription = description
    data = io.BytesIO()
    image.save_as(data)
    return data.getvalue()


class FindInPacs(harness.Scenario):
    @classmethod
    def set_up_scenario(cls):
        cls.orthanc = harness.Orthanc(cls.desktop.processes)
        cls.latest = (generate_uid(), generate_uid())
        for (study, sop), date, modality, description in [
                ((generate_uid(), generate_uid()), "20230110", "CR", "Left hand"),
                (cls.latest, "20240215", "DX", "Left hand, follow-up")]:
            request = urllib.request.Request(
                    "http://127.0.0.1:%d/instances" % cls.orthanc.http_port,
                    radiograph(study, sop, date, modality, description))
            urllib.request.urlopen(request, timeout=10).close()
        patient_file = os.path.join(cls.desktop.folder, "E2E-2001.maturix")
        cls.write_patient(PATIENT, patient_file)
        cls.station = cls.desktop.workstation("reading-room", cls.maturix, [patient_file])
        cls.window = cls.station.window("E2E-2001.maturix")

    def test_find_and_retrieve(self):
        harness.choose_menu(self.window, "Settings", "Preferences…")
        preferences = self.station.window("Preferences")
        harness.press(harness.find(preferences, "page tab", "Export"))
        harness.choose_item(harness.labelled(preferences, "Export charts to:", "combo box"), "PACS")
        harness.set_text(harness.find(preferences, "text", "PACS AE title:"), harness.Orthanc.AE_TITLE)
        harness.set_text(harness.find(preferences, "text", "Host:"), "127.0.0.1")
        harness.set_text(harness.find(preferences, "spin button", "Port:"), str(self.orthanc.dicom_port))
        harness.press(harness.find(preferences, "push button", "OK"))
        harness.poll("Preferences to close", lambda: not harness.showing(preferences))

        harness.choose_menu(self.window, "File", "Find in PACS…")
        dialog = self.station.window("Find in PACS")
        harness.set_text(harness.find(dialog, "text", "Patient ID"), "E2E-2002")
        harness.press(harness.find(dialog, "push button", "Find"))
        harness.find(dialog, "label", "2 studies found.")
        studies = harness.find(dialog, "tree", "Studies")
        cells = [cell.name for cell in studies if cell.getRoleName() == "table cell"]
        rows = [cells[row:row + 4] for row in range(0, len(cells), 4)]
        self.assertEqual(rows, [["2024-02-15", "Left hand, follow-up", "DX", "1"],
                                ["2023-01-10", "Left hand", "CR", "1"]])

        harness.press(harness.find(dialog, "push button", "Retrieve"))
        harness.find(dialog, "label", "Retrieved 1 image.")
        cache = os.path.join(self.station.home, ".cache")
        retrieved = [os.path.join(folder, name) for folder, _, names in os.walk(cache)
                     for name in names if name.endswith(".dcm")]
        self.assertEqual([os.path.basename(path) for path in retrieved], [self.latest[1] + ".dcm"])
        self.assertEqual(pydicom.dcmread(retrieved[0]).StudyInstanceUID, self.latest[0])

        # The image opens in a window of its patient, on the Radiograph tab.
        window = harness.poll("a window of patient E2E-2002", lambda: next(
                (w for w in harness._children(self.station.application)
                 if harness.showing(w) and w.name.startswith("Untitled")
                 and harness.text_of(harness.labelled(w, "Identifier:", "text")) == "E2E-2002"), None))
        harness.poll("the radiograph on show", lambda: next(
                (a for a in harness._descendants(window) if a.name == "Radiograph"
                 and a.getRoleName() != "page tab" and harness.showing(a)), None), tree=window)


if __name__ == "__main__":
    harness.main(FindInPacs)
