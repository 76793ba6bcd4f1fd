"""Charts to a PACS: the user sets up the PACS in Preferences, tests the
connection, opens a patient and exports; the chart arrives in a real
Orthanc, and beside it in its study a series of structured reports, one
per examination. A connection to a port where nothing listens says why it
failed.
"""

import os

import harness

PATIENT = {
    "referenceString": "E2E-1001",
    "nameString": "Doe^Jane",
    "birthDate": "2014-03-10T00:00:00Z",
    "gender": 2,
    "exams": [{"examDate": "2024-05-02T00:00:00Z", "maturixIndex": 18, "height": 140.5},
              {"examDate": "2023-04-20T00:00:00Z", "maturixIndex": 16, "height": 134.0}],
}


class ChartsToPacs(harness.Scenario):
    @classmethod
    def set_up_scenario(cls):
        cls.orthanc = harness.Orthanc(cls.desktop.processes)
        patient_file = os.path.join(cls.desktop.folder, "E2E-1001.maturix")
        cls.write_patient(PATIENT, patient_file)
        cls.station = cls.desktop.workstation("reading-room", cls.maturix, [patient_file])
        cls.window = cls.station.window("E2E-1001.maturix")

    def set_up_pacs(self, port, expected_report):
        """Preferences with the PACS on the port as export target, and
        Test Connection pressed until it reports what is expected (a report
        left from an earlier test is not mistaken for it)."""
        harness.choose_menu(self.window, "Settings", "Preferences…")
        preferences = self.station.window("Preferences")
        harness.press(harness.find(preferences, "page tab", "Export"))
        harness.choose_item(harness.labelled(preferences, "Export charts to:", "combo box"), "PACS")
        harness.set_text(harness.find(preferences, "text", "PACS AE title:"), harness.Orthanc.AE_TITLE)
        harness.set_text(harness.find(preferences, "text", "Host:"), "127.0.0.1")
        harness.set_text(harness.find(preferences, "spin button", "Port:"), str(port))
        test = harness.find(preferences, "push button", "Test Connection")
        harness.press(test)
        status = harness.beside(test)
        reported = harness.poll("Test Connection to report '%s'" % expected_report,
                                lambda: harness.text_of(status).startswith(expected_report)
                                and harness.text_of(status), tree=preferences)
        return preferences, reported

    def test_connection_to_closed_port_says_why(self):
        port = harness.free_port()
        cannot = "The PACS ORTHANC@127.0.0.1:%d cannot be reached: " % port
        preferences, reported = self.set_up_pacs(port, cannot)
        self.assertGreater(len(reported), len(cannot), "no reason given")
        harness.press(harness.find(preferences, "push button", "Cancel"))

    def test_chart_stored_in_pacs(self):
        preferences, _ = self.set_up_pacs(self.orthanc.dicom_port, "The PACS answered.")
        harness.press(harness.find(preferences, "push button", "OK"))
        harness.poll("Preferences to close", lambda: not harness.showing(preferences))

        harness.choose_menu(self.window, "File", "Export")
        alert = self.station.alert()
        self.assertEqual(alert.texts, [
            "The chart was stored in the PACS",
            "Doe^Jane (E2E-1001) was stored in ORTHANC@127.0.0.1:%d, with its 2 structured reports."
            % self.orthanc.dicom_port])
        alert.press("OK")

        instances = self.orthanc.instances_of_patient("E2E-1001")
        self.assertEqual(len(instances), 3, instances)
        charts = [tags for tags in instances if tags["Modality"] != "SR"]
        reports = [tags for tags in instances if tags["Modality"] == "SR"]
        self.assertEqual(len(charts), 1, instances)
        tags = charts[0]
        self.assertEqual((tags["PatientName"], tags["PatientBirthDate"], tags["PatientSex"]),
                         ("Doe^Jane", "20140310", "F"))
        self.assertIn("Maturix Chart", tags.values())
        # The reports: the chart's patient and study, one series of their own.
        self.assertEqual({(r["PatientID"], r["PatientName"], r["StudyInstanceUID"]) for r in reports},
                         {("E2E-1001", "Doe^Jane", tags["StudyInstanceUID"])})
        series = {r["SeriesInstanceUID"] for r in reports}
        self.assertEqual(len(series), 1)
        self.assertNotIn(tags["SeriesInstanceUID"], series)

if __name__ == "__main__":
    harness.main(ChartsToPacs)
