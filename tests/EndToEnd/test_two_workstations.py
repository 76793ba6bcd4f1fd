"""Two workstations, one patient: two Maturix processes, each with its own
session bus as on two computers, open the same patient file in a shared
folder. A adds an examination and saves; B, with an edit of its own (one
examination removed), shows a notice and, when it saves, is asked before A's
save is lost. Each answer does what it says, and nothing is lost that was not
meant to be.
"""

import os

import harness

PATIENT = {
    "referenceString": "E2E-2002",
    "nameString": "Roe^Max",
    "birthDate": "2012-07-21T00:00:00Z",
    "gender": 1,
    "exams": [{"examDate": "2022-01-10T00:00:00Z", "maturixIndex": 17, "height": 128.0},
              {"examDate": "2023-01-12T00:00:00Z", "maturixIndex": 18, "height": 133.5}],
}
NOTICE = ("The patient file has been changed by another program. Saving asks before replacing "
          "those changes.")
QUESTION = ["This patient file has been changed by another program since you opened it.",
            "Saving now replaces those changes."]


class TwoWorkstations(harness.Scenario):
    @classmethod
    def set_up_scenario(cls):
        cls.shared_folder = os.path.join(cls.desktop.folder, "shared")
        os.makedirs(cls.shared_folder)

    def exam_dates(self, path):
        return [exam["examDate"] for exam in self.read_patient(path)["exams"]]

    def examinations_shown(self, window):
        """The window's "n of m" below the examination."""
        return harness.text_of(harness.beside(harness.find(window, "push button", "◀ Previous")))

    def conflict(self, name):
        """A has added an examination and saved; B has removed one, shows
        the notice and asks to save. Returns the question, B's window and
        notice, the file, and A's examination dates."""
        path = os.path.join(self.shared_folder, name + ".maturix")
        self.write_patient(PATIENT, path)
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
        notice = harness.find(window_b, "label", NOTICE)

        harness.choose_menu(window_b, "File", "Save")
        question = b.alert()
        self.assertEqual(question.texts, QUESTION)
        self.assertEqual([button.name for button in question.buttons],
                         ["Save Anyway", "Revert", "Cancel"])
        return question, window_b, notice, path, saved_by_a

    def test_save_anyway_keeps_this_workstation_s_edit(self):
        question, window_b, notice, path, _ = self.conflict("save-anyway")
        question.press("Save Anyway")
        harness.poll("B's content in the file", lambda: len(self.exam_dates(path)) == 1)
        self.assertEqual(self.exam_dates(path), [PATIENT["exams"][0]["examDate"]])
        harness.poll("the notice to go", lambda: not harness.showing(notice), tree=window_b)

    def test_revert_shows_the_other_workstation_s_edit(self):
        question, window_b, notice, path, saved_by_a = self.conflict("revert")
        question.press("Revert")
        harness.poll("B to show A's three examinations",
                     lambda: self.examinations_shown(window_b).endswith(" of 3"), tree=window_b)
        self.assertEqual(self.exam_dates(path), saved_by_a)
        harness.poll("the notice to go", lambda: not harness.showing(notice), tree=window_b)

    def test_cancel_changes_nothing(self):
        question, window_b, notice, path, saved_by_a = self.conflict("cancel")
        question.press("Cancel")
        self.assertEqual(self.examinations_shown(window_b), "1 of 1")
        self.assertEqual(self.exam_dates(path), saved_by_a)
        self.assertTrue(harness.showing(notice))


if __name__ == "__main__":
    harness.main(TwoWorkstations)
