"""A new patient filled from the PACS: with the PACS set in Preferences, the
user types into a new window an identifier that has no patient file, agrees
to fill the patient from the PACS, and the window shows the name, birth date
and sex the PACS holds.
"""

import io
import os
import time
import urllib.request

import pydicom
from pydicom.uid import generate_uid

import harness

SAMPLE = os.path.join(os.path.dirname(pydicom.__file__), "data", "test_files", "MR_small.dcm")


def radiograph():
    """A sample image made into a study of patient E2E-4001, as DICOM bytes."""
    image = pydicom.dcmread(SAMPLE)
    image.PatientID = "E2E-4001"
    image.PatientName = "Doe^Jane"
    image.PatientBirthDate = "20140310"
    image.PatientSex = "F"
    image.StudyInstanceUID = generate_uid()
    image.SeriesInstanceUID = generate_uid()
    image.SOPInstanceUID = image.file_meta.MediaStorageSOPInstanceUID = generate_uid()
    image.StudyDate = "20240215"
    data = io.BytesIO()
    image.save_as(data)
    return data.getvalue()


class FillFromPacs(harness.Scenario):
    @classmethod
    def set_up_scenario(cls):
        cls.orthanc = harness.Orthanc(cls.desktop.processes)
        urllib.request.urlopen(urllib.request.Request(
                "http://127.0.0.1:%d/instances" % cls.orthanc.http_port, radiograph()),
                timeout=10).close()
        orthanc = cls.orthanc

        class PacsWorkstation(harness.Workstation):
            def _start(self, maturix, files):
                with open(os.path.join(self.home, ".config", "Maturix", "Maturix.ini"), "a") as ini:
                    for key, value in (("PACS AE Title", orthanc.AE_TITLE), ("PACS Host", "127.0.0.1"),
                                       ("PACS Port", orthanc.dicom_port)):
                        ini.write("%s=%s\n" % (harness._ini_key(key), value))
                super()._start(maturix, files)

        started = time.monotonic()
        cls.station = PacsWorkstation(cls.desktop, "reading-room", cls.maturix, [])
        cls.window = cls.station.window("Untitled")
        time.sleep(max(0.0, started + 4.0 - time.monotonic()))
        harness.poll("the splash window to go", lambda: not any(
                w.name == "About" and harness.showing(w)
                for w in harness._children(cls.station.application)))

    def test_fill_from_pacs(self):
        harness.type_into(harness.find(self.window, "text", "Identifier:"), "E2E-4001")
        alert = self.station.alert()
        self.assertEqual(alert.texts[0], "Fill the patient from the PACS?")
        alert.press("Fill")
        name = harness.find(self.window, "text", "Name:")
        harness.poll("the name from the PACS", lambda: harness.text_of(name) == "Doe, Jane", tree=name)
        self.assertEqual(harness.text_of(harness.find(self.window, "text", "Birth Date:")), "10 Mar 2014")
        self.assertEqual(harness.text_of(harness.labelled(self.window, "Sex:", "combo box")), "Female")


if __name__ == "__main__":
    harness.main(FillFromPacs)
