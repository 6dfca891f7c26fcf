"""gavrel-measure --report against an independent computation with numpy, and its PDF read
back with pdftotext and pdftoppm (poppler-utils)."""

import os
import sqlite3
import subprocess
import uuid

import numpy as np
import pytest

PROGRAM = os.environ["GAVREL_MEASURE"]
SAMPLE = os.environ["GAVREL_SAMPLE_IMAGE"]
PART_COLUMNS = ("recipe", "inspection_uuid", "circle_name", "part_verdict")


def run(*arguments, check=True):
    done = subprocess.run([PROGRAM, *arguments], capture_output=True, text=True, timeout=120)
    if check:
        assert done.returncode == 0, done.stderr
    return done


def make_database(folder, groups):
    """A record database made by the program itself, then filled with `groups`:
    (recipe, station, standard, tolerance, values) each, written in time order."""
    path = os.path.join(folder, "records.sqlite")
    url = "sqlite://" + path
    run("--record", url, "--format", "csv", SAMPLE)
    db = sqlite3.connect(path)
    present = {row[1] for row in db.execute("PRAGMA table_info(measurements)")}
    for name in PART_COLUMNS:  # the part's columns arrive with a schema upgrade of their own
        if name not in present:
            db.execute(f"ALTER TABLE measurements ADD COLUMN {name} TEXT NOT NULL DEFAULT ''")
    db.execute("DELETE FROM measurements")
    second = 0
    rows = []
    for recipe, station, standard, tolerance, values in groups:
        for value in values:
            verdict = "OK" if standard - tolerance < value < standard + tolerance else "NG"
            rows.append((str(uuid.uuid4()), f"2026-03-01T08:{second // 60:02d}:{second % 60:02d}.000Z",
                         station, value, standard, tolerance, verdict, recipe))
            second += 1
    db.executemany(
        "INSERT INTO measurements (record_uuid, measured_at, utc_offset_s, station, operator, "
        "source, image_sha256, image_file, mean, stddev, min, max, standard, tolerance, verdict, "
        "previous_sha256, record_sha256, recipe) VALUES (?, ?, 0, ?, 'qa', 'x.bmp', '', '', ?, "
        "1, 0, 255, ?, ?, ?, '', '', ?)", rows)
    db.commit()
    db.close()
    return url


def capability(values, standard, tolerance):
    x = np.asarray(values, dtype=float)
    lsl, usl = standard - tolerance, standard + tolerance
    mean = x.mean()
    overall = x.std(ddof=1)
    within = np.abs(np.diff(x)).mean() / 1.128
    cpk = min(usl - mean, mean - lsl) / (3 * within)
    half = 1.959964 * np.sqrt(1 / (9 * len(x)) + cpk ** 2 / (2 * (len(x) - 1)))
    return {
        "n": len(x),
        "平均": mean,
        "標準偏差 (全体)": overall,
        "標準偏差 (群内)": within,
        "Cp": (usl - lsl) / (6 * within),
        "Cpk": cpk,
        "Pp": (usl - lsl) / (6 * overall),
        "Ppk": min(usl - mean, mean - lsl) / (3 * overall),
        "Cpk 95%信頼区間": (cpk - half, cpk + half),
    }


def rule_breaks(values):
    """The four Western Electric rules, written out again, against limits from the data."""
    x = np.asarray(values, dtype=float)
    centre = x.mean()
    sigma = np.abs(np.diff(x)).mean() / 1.128
    z = (x - centre) / sigma
    counts = [0, 0, 0, 0]
    for i in range(len(z)):
        if abs(z[i]) > 3:
            counts[0] += 1
        for rule, (length, needed, k) in ((1, (3, 2, 2)), (2, (5, 4, 1))):
            if i + 1 >= length:
                window = z[i + 1 - length:i + 1]
                if (z[i] > k and (window > k).sum() >= needed) or (
                        z[i] < -k and (window < -k).sum() >= needed):
                    counts[rule] += 1
        if i >= 7 and (np.all(z[i - 7:i + 1] > 0) or np.all(z[i - 7:i + 1] < 0)):
            counts[3] += 1
    parts = [f"規則{r + 1} ×{c}" for r, c in enumerate(counts) if c]
    return ", ".join(parts) if parts else "規則違反なし"


def printed_groups(stdout):
    groups = []
    for block in stdout.split("\n\n")[1:]:
        groups.append(dict(line.split("\t", 1) for line in block.strip().splitlines()))
    return groups


@pytest.fixture
def shift(tmp_path):
    rng = np.random.default_rng(26)
    washer = list(np.round(rng.normal(131.0, 4.0, 240), 3)) + [90.0, 171.5]
    washer += list(np.round(131 + 0.08 * np.arange(40) + rng.normal(0, 1, 40), 3))  # a drift
    cap = list(np.round(rng.normal(190.0, 2.0, 60), 3))
    groups = [("ワッシャ M8", "line-1", 128.0, 20.0, washer),
              ("キャップ", "line-2", 192.0, 10.0, cap)]
    return tmp_path, make_database(str(tmp_path), groups), groups


def test_figures_match_numpy_for_each_group_of_limits(shift):
    folder, url, groups = shift
    pdf = folder / "shift.pdf"
    printed = printed_groups(run("--report", url, "--output", str(pdf)).stdout)
    assert len(printed) == 2
    for (recipe, _, standard, tolerance, values), figures in zip(groups, printed):
        expected = capability(values, standard, tolerance)
        assert int(figures["n"]) == expected["n"]
        ng = sum(not standard - tolerance < v < standard + tolerance for v in values)
        assert int(figures["NG"]) == ng
        for name in ("平均", "標準偏差 (全体)", "標準偏差 (群内)", "Cp", "Cpk", "Pp", "Ppk"):
            assert float(figures[name]) == pytest.approx(expected[name], abs=6e-4), name
        low, high = (float(t) for t in figures["Cpk 95%信頼区間"].split(" – "))
        assert low == pytest.approx(expected["Cpk 95%信頼区間"][0], abs=6e-4)
        assert high == pytest.approx(expected["Cpk 95%信頼区間"][1], abs=6e-4)
        assert figures["rules"] == rule_breaks(values)
    assert printed[0]["rules"] != "規則違反なし"  # the drift is seen


def test_the_pdf_carries_the_figures_and_draws_its_charts(shift):
    folder, url, groups = shift
    pdf = folder / "shift.pdf"
    printed = printed_groups(run("--report", url, "--output", str(pdf)).stdout)
    text = subprocess.run(["pdftotext", "-layout", str(pdf), "-"], capture_output=True,
                          text=True, check=True).stdout
    words = " ".join(text.split())
    for figures in printed:
        for name in ("Cp", "Cpk", "Pp", "Ppk", "平均"):
            assert figures[name] in words, name
    assert "工程能力" in words or "レポート" in words
    # A grey bitmap of the first page: the charts put ink on a good part of it.
    subprocess.run(["pdftoppm", "-gray", "-r", "40", "-f", "1", "-l", "1", str(pdf),
                    str(folder / "page")], check=True)
    page = next(p for p in folder.iterdir() if p.name.startswith("page"))
    data = page.read_bytes()
    header, body = data.split(b"\n", 3)[:3], data.split(b"\n", 3)[3]
    assert header[0] == b"P5"
    pixels = np.frombuffer(body, dtype=np.uint8)
    assert (pixels < 200).mean() > 0.01


def test_filters_by_recipe_and_station(shift):
    folder, url, groups = shift
    pdf = folder / "cap.pdf"
    out = run("--report", url, "--recipe", "キャップ", "--output", str(pdf)).stdout
    printed = printed_groups(out)
    assert len(printed) == 1 and int(printed[0]["n"]) == 60
    assert "レシピ: キャップ" in out
    out = run("--report", url, "--station", "line-1", "--output", str(pdf)).stdout
    assert [int(g["n"]) for g in printed_groups(out)] == [len(groups[0][4])]


def test_bad_input_writes_nothing(tmp_path):
    pdf = tmp_path / "none.pdf"
    missing = run("--report", "sqlite://" + str(tmp_path / "absent.sqlite"), "--output", str(pdf),
                  check=False)
    assert missing.returncode == 2 and "no such database file" in missing.stderr
    assert not pdf.exists()
    usage = run("--report", "sqlite://" + str(tmp_path / "absent.sqlite"), check=False)
    assert usage.returncode == 64 and "--output" in usage.stderr


def test_an_output_that_cannot_be_written_leaves_the_old_file(shift):
    folder, url, _ = shift
    missing = run("--report", url, "--output", str(folder / "no" / "such.pdf"), check=False)
    assert missing.returncode == 2 and "such.pdf" in missing.stderr
    pdf = folder / "kept.pdf"
    pdf.write_bytes(b"the earlier report")
    folder.chmod(0o500)
    try:
        failed = run("--report", url, "--output", str(pdf), check=False)
    finally:
        folder.chmod(0o700)
    if os.geteuid() == 0:
        pytest.skip("root writes anywhere")
    assert failed.returncode == 2 and "kept.pdf" in failed.stderr
    assert pdf.read_bytes() == b"the earlier report"


def test_the_report_speaks_english_under_an_english_locale(shift):
    folder, url, _ = shift
    translations = os.path.join(os.path.dirname(PROGRAM), "..", "share", "gavrel", "translations",
                                "gavrel_en.qm")
    if not os.path.exists(translations):
        pytest.skip("the English translation is built with the window")
    pdf = folder / "english.pdf"
    env = dict(os.environ, LANG="en_US.UTF-8", LC_ALL="en_US.UTF-8")
    done = subprocess.run([PROGRAM, "--report", url, "--output", str(pdf)], capture_output=True,
                          text=True, timeout=120, env=env)
    assert done.returncode == 0, done.stderr
    assert "Std. deviation (within)" in done.stdout
    text = subprocess.run(["pdftotext", str(pdf), "-"], capture_output=True, text=True,
                          check=True).stdout
    assert "Measurement record report" in text and "測定記録" not in text
