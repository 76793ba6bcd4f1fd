"""Two workstations, one patient: two Maturix processes, each with its own
session bus as on two computers, open the same patient file in a shared
folder. A adds an examination and saves; B, with an edit of its own (one
examination removed), saves after it and is asked before A's save is lost.
Each answer does what it says, and nothing is lost that was not meant to be.

Usage: test_two_workstations.py MATURIX MATURIX_CLI
"""

import json
import os
import subprocess
import sys
import time
import unittest

import harness

PATIENT = {
    "referenceString": "E2E-2002",
    "nameString": "Roe^Max",
    "birthDate": "2012-07-21T00:00:00Z",
    "gender": 1,
    "exams": [{"examDate": "2022-01-10T00:00:00Z", "maturixIndex": 17, "height": 128.0},
              {"examDate": "2023-01-12T00:00:00Z", "maturixIndex": 18, "height": 133.5}],
}
QUESTION = ["This patient file has been changed by another program since you opened it.",
            "Saving now replaces those changes."]


class TwoWorkstations(unittest.TestCase):
    maturix = cli = None

    @classmethod
    def setUpClass(cls):
        cls.started = time.monotonic()
        cls.desktop = harness.Desktop().__enter__()
        cls.shared_folder = os.path.join(cls.desktop.folder, "shared")
        os.makedirs(cls.shared_folder)

    @classmethod
    def tearDownClass(cls):
        cls.desktop.__exit__(None, None, None)
        print("\nTwo workstations took %.1f s" % (time.monotonic() - cls.started), file=sys.stderr)

    def patient(self, path):
        shown = subprocess.run([self.cli, "show", path, "--json"], check=True,
                               capture_output=True, text=True).stdout
        return json.loads(shown)

    def exam_dates(self, path):
        return [exam["examDate"] for exam in self.patient(path)["exams"]]

    def examinations_shown(self, window):
        """The window's "n of m" below the examination."""
        return harness.text_of(harness.beside(harness.find(window, "push button", "◀ Previous")))

    def conflict(self, name):
        """A has added an examination and saved; B has removed one and asks
        to save. Returns B, its window, the file, and A's examination dates."""
        path = os.path.join(self.shared_folder, name + ".maturix")
        source = os.path.join(self.desktop.folder, name + ".json")
        with open(source, "w") as file:
            json.dump(PATIENT, file)
        subprocess.run([self.cli, "convert", source, path], check=True)
        a = self.desktop.workstation(name + "-a", self.maturix, [path])
        b = self.desktop.workstation(name + "-b", self.maturix, [path])
        window_a = a.window(name + ".maturix")
        window_b = b.window(name + ".maturix")
        self.addCleanup(a.quit)
        self.addCleanup(b.quit)

        harness.press(harness.find(window_b, "push button", "Delete Exam"))
        alert = b.alert()
        alert.press("Remove")
        harness.poll("B to show one examination",
                     lambda: self.examinations_shown(window_b) == "1 of 1", tree=window_b)

        harness.press(harness.find(window_a, "push button", "New Exam"))
        harness.poll("A to show three examinations",
                     lambda: self.examinations_shown(window_a).endswith(" of 3"), tree=window_a)
        harness.choose_menu(window_a, "File", "Save")
        saved_by_a = harness.poll("A's save", lambda: len(self.exam_dates(path)) == 3
                                  and self.exam_dates(path))

        harness.choose_menu(window_b, "File", "Save")
        question = b.alert()
        self.assertEqual(question.texts, QUESTION)
        self.assertEqual([button.name for button in question.buttons],
                         ["Save Anyway", "Revert", "Cancel"])
        return question, window_b, path, saved_by_a

    def test_save_anyway_keeps_this_workstation_s_edit(self):
        question, window_b, path, _ = self.conflict("save-anyway")
        question.press("Save Anyway")
        harness.poll("B's content in the file", lambda: len(self.exam_dates(path)) == 1)
        self.assertEqual(self.exam_dates(path), [PATIENT["exams"][0]["examDate"]])

    def test_revert_shows_the_other_workstation_s_edit(self):
        question, window_b, path, saved_by_a = self.conflict("revert")
        question.press("Revert")
        harness.poll("B to show A's three examinations",
                     lambda: self.examinations_shown(window_b).endswith(" of 3"), tree=window_b)
        self.assertEqual(self.exam_dates(path), saved_by_a)

    def test_cancel_changes_nothing(self):
        question, window_b, path, saved_by_a = self.conflict("cancel")
        question.press("Cancel")
        self.assertEqual(self.examinations_shown(window_b), "1 of 1")
        self.assertEqual(self.exam_dates(path), saved_by_a)


if __name__ == "__main__":
    TwoWorkstations.maturix, TwoWorkstations.cli = sys.argv[1:3]
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2, warnings="ignore")
