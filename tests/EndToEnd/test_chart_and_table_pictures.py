"""Chart and table pictures: the user exports from the Chart tab with File >
Export, then from the Table tab, into an export folder that has gone
missing. The pictures are the chart alone, as maturix-cli render draws it,
and the table alone; the window says where each file went. The site asks
for structured reports: each examination's lies beside the chart. The table lists
the examinations by date although the file keeps them otherwise, with the
figures between visits that maturix-cli prints.
"""

import os
import shutil
import subprocess

from PIL import Image, ImageChops

import harness

PATIENT = {
    "referenceString": "E2E-2001",
    "nameString": "Roe^Ann",
    "birthDate": "2013-02-11T00:00:00Z",
    "gender": 2,
    # Stored latest first.
    "exams": [{"examDate": "2024-05-02T00:00:00Z", "maturixIndex": 20, "height": 146.0},
              {"examDate": "2022-04-20T00:00:00Z", "maturixIndex": 16, "height": 131.0},
              {"examDate": "2023-05-09T00:00:00Z", "maturixIndex": 18, "height": 139.5}],
}


class StationWithReports(harness.Workstation):
    """A workstation whose preferences ask for structured reports beside
    exported charts."""

    def _start(self, maturix, files):
        with open(os.path.join(self.home, ".config", "Maturix", "Maturix.ini"), "a") as ini:
            ini.write("%s=true\n" % harness._ini_key("Export Structured Report"))
        super()._start(maturix, files)


def extents(accessible):
    return accessible.queryComponent().getExtents(harness.pyatspi.DESKTOP_COORDS)


class ChartAndTablePictures(harness.Scenario):
    @classmethod
    def set_up_scenario(cls):
        cls.patient_file = os.path.join(cls.desktop.folder, "E2E-2001.maturix")
        cls.write_patient(PATIENT, cls.patient_file)
        cls.station = StationWithReports(cls.desktop, "reading-room", cls.maturix, [cls.patient_file])
        cls.window = cls.station.window("E2E-2001.maturix")

    def export_as(self, name):
        """File > Export, and the name typed into the dialog without ending."""
        harness.choose_menu(self.window, "File", "Export")
        dialog = self.station.window("Export")
        harness.set_text(harness.find(dialog, "text", "File name:"), name)
        harness.press(harness.find(dialog, "push button", "Export"))
        path = os.path.join(self.station.charts, name + ".jpg")
        status = "Exported to %s, with 3 structured reports beside it" % path
        harness.poll("the window to say '%s'" % status,
                     lambda: status in harness.label_texts(self.window), tree=self.window)
        return Image.open(path).convert("RGB")

    def test_pictures_of_chart_and_table(self):
        shutil.rmtree(self.station.charts)

        chart = self.export_as("chart")
        self.assertEqual(sorted(f for f in os.listdir(self.station.charts) if f.endswith(".dcm")),
                         ["chart SR 2022-04-20.dcm", "chart SR 2023-05-09.dcm", "chart SR 2024-05-02.dcm"])
        rendered = os.path.join(self.desktop.folder, "rendered.png")
        subprocess.run([self.cli, "render", self.patient_file, "-o", rendered,
                        "--width", str(chart.width), "--height", str(chart.height)], check=True)
        # The same drawing: no tab strip, frame or highlight where the
        # command line draws none. JPEG blurs edges a little.
        difference = ImageChops.difference(chart, Image.open(rendered).convert("RGB")).convert("L")
        differing = sum(difference.histogram()[64:])
        self.assertLess(differing, chart.width * chart.height // 100,
                        "%d of %dx%d pixels differ" % (differing, chart.width, chart.height))

        harness.press(harness.find(self.window, "page tab", "Table"))
        table = harness.find(self.window, "table")
        cells = table.queryTable()
        shown = lambda r, c: harness.text_of(cells.getAccessibleAt(r, c))
        rows = [[shown(r, c) for c in range(cells.nColumns)] for r in range(cells.nRows)]
        listed = subprocess.run([self.cli, "show", self.patient_file, "--csv"], check=True,
                                capture_output=True, text=True,
                                env=dict(os.environ, LC_ALL="C.UTF-8")).stdout
        expected = [line.split(",") for line in listed.splitlines()[1:]]
        self.assertEqual([row[-11:] for row in rows], [fields[-11:] for fields in expected])

        first = extents(cells.getAccessibleAt(0, cells.nColumns - 11))
        last = extents(cells.getAccessibleAt(cells.nRows - 1, cells.nColumns - 1))
        header = extents(cells.getColumnHeader(cells.nColumns - 1))
        # The window fits a 1366 pixel wide screen, and shows every column.
        window = extents(self.window)
        self.assertLessEqual(window.width, 1366)
        self.assertLessEqual(last.x + last.width, extents(table).x + extents(table).width)

        picture = self.export_as("table")
        # Every shown column and every row with its header and the grid's
        # closing line, nothing more.
        self.assertEqual(picture.size, (last.x + last.width - first.x + 1,
                                        last.y + last.height - header.y + 1))


if __name__ == "__main__":
    harness.main(ChartAndTablePictures)
