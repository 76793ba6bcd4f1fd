"""Dates typed into a patient's window, key by key at an ordinary pace. A
birth date retyped over the stored one (after the window's question) is
what the field shows and what the age uses once the user tabs out; a date
that cannot be read leaves the stored one in place and says why beside the
field; an examination dated before the birth is kept, with a warning.
"""

import os

import harness

PATIENT = {
    "referenceString": "E2E-3003",
    "nameString": "Roe^Ann",
    "birthDate": "2012-07-21T00:00:00Z",
    "gender": 1,
    "exams": [{"examDate": "2022-01-10T00:00:00Z", "maturixIndex": 17, "height": 128.0}],
}


class TypedDates(harness.Scenario):
    def test_dates_typed_key_by_key(self):
        path = os.path.join(self.desktop.folder, "typed-dates.maturix")
        self.write_patient(PATIENT, path)
        station = self.desktop.workstation("typist", self.maturix, [path])
        self.addCleanup(station.quit)
        window = station.window("typed-dates.maturix")
        birth = harness.labelled(window, "Birth Date:", "text")
        exam = harness.labelled(window, "Examination Date:", "text")
        age = harness.labelled(window, "Age:", "text")
        self.assertEqual((harness.text_of(birth), harness.text_of(age)), ("21 Jul 2012", "9y 5m"))

        def retype_birth_date(text):
            # The click must have landed before the selection, or it undoes it.
            harness.focus(birth)
            harness.select_all(birth)
            harness.type_keys(text[0])
            station.alert().press("Modify")
            # No window manager gives the window back the keyboard once the
            # alert is gone: a click on the field's label does.
            harness.click(harness.find(window, "label", "Birth Date:"))
            harness.type_keys(text[1:])
            harness.press_key(harness.KEY_TAB)

        retype_birth_date("4 Jan 2012")
        harness.poll("the new birth date and its age",
                     lambda: (harness.text_of(birth), harness.text_of(age))
                     == ("4 Jan 2012", "10y 0m"), tree=window)

        retype_birth_date("31 Feb 2016")
        notice = harness.beside(birth)
        harness.poll("the reason beside the birth date",
                     lambda: "is not a date" in harness.text_of(notice), tree=window)
        self.assertEqual((harness.text_of(birth), harness.text_of(age)), ("4 Jan 2012", "10y 0m"))

        harness.focus(exam)
        harness.select_all(exam)
        harness.type_keys("1 Jan 2011")
        harness.press_key(harness.KEY_TAB)
        warning = harness.beside(exam)
        harness.poll("the warning beside the examination date",
                     lambda: harness.text_of(warning)
                     == "The examination is dated before the birth date.", tree=window)
        self.assertEqual(harness.text_of(exam), "1 Jan 2011")


if __name__ == "__main__":
    harness.main(TypedDates)
