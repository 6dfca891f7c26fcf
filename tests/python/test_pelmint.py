"""The pelmint module against a numpy reference, on the built library."""

import math

import numpy as np
import pytest

import pelmint


def reference(image, cx, cy, r):
    rows, columns = np.indices(image.shape, dtype=np.int64)
    inside = (columns - cx) ** 2 + (rows - cy) ** 2 <= r * r
    values = image[inside].astype(np.int64)
    if r < 0 or values.size == 0:
        return None
    count, total = values.size, int(values.sum())
    squares = int((values * values).sum())
    return pelmint.Statistics(count, total, total / count,
                              math.sqrt(count * squares - total * total) / count,
                              int(values.min()), int(values.max()))


def random_image(shape, seed):
    return np.random.default_rng(seed).integers(0, 256, size=shape, dtype=np.uint8)


CIRCLES = [(100, 100, 50), (0, 0, 7), (511, 479, 60), (-5, 240, 30), (256, 240, 400),
           (20, 30, 0), (700, 10, 5), (10, 10, -1)]


@pytest.mark.parametrize("cx, cy, r", CIRCLES)
def test_statistics_and_average_match_the_numpy_reference(cx, cy, r):
    image = random_image((480, 512), 1)
    expected = reference(image, cx, cy, r)
    statistics = pelmint.circle_area_statistics(image, cx, cy, r)
    average = pelmint.circle_area_average(image, cx, cy, r)
    if expected is None:
        assert statistics is None
        assert average == -1.0
        return
    assert statistics.count == expected.count
    assert statistics.sum == expected.sum
    assert (statistics.min, statistics.max) == (expected.min, expected.max)
    assert statistics.mean == pytest.approx(expected.mean, rel=1e-15)
    assert statistics.stddev == pytest.approx(expected.stddev, rel=1e-12)
    assert average == statistics.mean


@pytest.mark.parametrize("view", [
    lambda image: image[10:200, 30:300],        # padded rows, read in place
    lambda image: image[::2, :],                # every other row: a longer stride
    lambda image: image[::-1, :],               # rows upside down
    lambda image: image[:, ::3],                # columns apart: copied
    lambda image: np.asfortranarray(image),     # column-major
    lambda image: image.T,
])
def test_any_strides_give_the_result_of_a_packed_copy(view):
    image = view(random_image((480, 512), 2))
    packed = np.ascontiguousarray(image)
    for cx, cy, r in [(40, 50, 30), (0, 0, 90), (image.shape[1], image.shape[0] // 2, 25)]:
        assert pelmint.circle_area_statistics(image, cx, cy, r) == \
            pelmint.circle_area_statistics(packed, cx, cy, r)
        assert pelmint.circle_area_average(image, cx, cy, r) == \
            pelmint.circle_area_average(packed, cx, cy, r)


def test_padding_between_rows_never_counts():
    backing = np.full((60, 80), 255, dtype=np.uint8)
    image = backing[:, :50]
    image[:] = 7
    statistics = pelmint.circle_area_statistics(image, 25, 30, 100)
    assert (statistics.count, statistics.min, statistics.max) == (3000, 7, 7)
    assert statistics.stddev == 0.0


@pytest.mark.parametrize("bad, message", [
    (np.zeros((4, 4), dtype=np.uint16), "dtype uint8"),
    (np.zeros((4, 4), dtype=np.float32), "dtype uint8"),
    (np.zeros((4, 4, 3), dtype=np.uint8), "2-D"),
    (np.zeros(16, dtype=np.uint8), "2-D"),
    ([[1, 2], [3, 4]], "numpy array"),
])
def test_wrong_dtype_or_shape_is_a_clear_value_error(bad, message):
    with pytest.raises(ValueError, match=message):
        pelmint.circle_area_statistics(bad, 1, 1, 1)
    with pytest.raises(ValueError, match=message):
        pelmint.circle_area_average(bad, 1, 1, 1)


def test_coordinates_outside_32_bits_are_rejected():
    with pytest.raises(ValueError, match="32-bit"):
        pelmint.circle_area_average(np.zeros((4, 4), dtype=np.uint8), 2**31, 0, 1)


def test_version_is_the_library_version():
    assert pelmint.version() >= 10100


def test_distribution_metadata_names_the_library_version():
    # What pip list and importlib.metadata read from the installed dist-info folder.
    import importlib.metadata

    number = pelmint.version()
    expected = f"{number // 10000}.{number // 100 % 100}.{number % 100}"
    assert importlib.metadata.version("pelmint") == expected
    assert "numpy" in (importlib.metadata.requires("pelmint") or [])
