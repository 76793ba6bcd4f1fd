"""Batch export of the recent patients into the export folder: a patient
file that cannot be read and a chart that cannot be written are named in
the summary with their reasons; the other charts are in the folder.
"""

import os

import harness


def patient(identifier):
    return {
        "referenceString": identifier,
        "nameString": "Doe^" + identifier,
        "birthDate": "2014-03-10T00:00:00Z",
        "gender": 2,
        "exams": [{"examDate": "2024-05-02T00:00:00Z", "maturixIndex": 18, "height": 140.5}],
    }


class BatchExportSummary(harness.Scenario):
    @classmethod
    def set_up_scenario(cls):
        home = os.path.join(cls.desktop.folder, "batch")
        patients, charts = os.path.join(home, "Patients"), os.path.join(home, "Charts")
        os.makedirs(patients)
        os.makedirs(charts)
        for identifier in ("B-1", "B-2", "B-3", "B-4"):
            cls.write_patient(patient(identifier), os.path.join(patients, identifier + ".maturix"))
            os.remove(os.path.join(patients, identifier + ".maturix.json"))
        with open(os.path.join(patients, "Broken.maturix"), "wb") as broken:
            broken.write(b"not a patient file")
        # Where the chart of B-4 should go, something that cannot be replaced
        # (a read-only file would not stop a test run as root).
        os.mkdir(os.path.join(charts, "B-4 Chart.jpg"))
        cls.station = cls.desktop.workstation("batch", cls.maturix,
                                              [os.path.join(patients, "B-1.maturix")])
        cls.window = cls.station.window("B-1.maturix")

    def test_summary_names_what_was_not_exported(self):
        harness.choose_menu(self.window, "File", "Batch Export…")
        batch = self.station.window("Batch Export")
        harness.press(harness.find(batch, "push button", "OK"))

        asked = self.station.alert()
        self.assertEqual(asked.texts[0], "A file with that name already exists")
        asked.press("Overwrite")

        summary = self.station.alert()
        self.assertEqual(summary.texts[0], "Charts exported: 3 of 5")
        lines = summary.texts[1].split("\n")
        self.assertEqual(lines[0], "Not exported:")
        self.assertEqual(len(lines), 3, summary.texts)
        broken = next(line for line in lines if line.startswith("Broken.maturix: "))
        self.assertRegex(broken, r"^Broken\.maturix: could not be opened: \S")
        unwritten = next(line for line in lines if line.startswith("B-4.maturix: "))
        self.assertTrue(unwritten.startswith(
            "B-4.maturix: could not be written: %s: " % os.path.join(self.station.charts,
                                                                    "B-4 Chart.jpg")), unwritten)
        summary.press("OK")

        self.assertEqual(sorted(os.listdir(self.station.charts)),
                         ["B-1 Chart.jpg", "B-2 Chart.jpg", "B-3 Chart.jpg", "B-4 Chart.jpg"])
        self.assertTrue(os.path.isdir(os.path.join(self.station.charts, "B-4 Chart.jpg")))


if __name__ == "__main__":
    harness.main(BatchExportSummary)
