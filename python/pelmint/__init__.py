"""Grey-level measurements inside a circle of an 8-bit image, through the Pelmint library.

The library is found from the PELMINT_LIBRARY environment variable (a path), beside this
package, or by its runtime name libPelmint.so.1 through the system's library search.
"""

import ctypes
import os
from typing import NamedTuple

import numpy as np

__all__ = ["Statistics", "circle_area_average", "circle_area_statistics", "version"]

_RUNTIME_NAME = "libPelmint.so.1"
_INVALID_ARGUMENT = -1
_NO_PIXELS = -2


class Statistics(NamedTuple):
    count: int
    sum: int
    mean: float
    stddev: float
    min: int
    max: int


class _Statistics(ctypes.Structure):
    _fields_ = [
        ("count", ctypes.c_int64),
        ("sum", ctypes.c_uint64),
        ("mean", ctypes.c_double),
        ("stddev", ctypes.c_double),
        ("min", ctypes.c_int32),
        ("max", ctypes.c_int32),
    ]


def _load():
    candidates = []
    if os.environ.get("PELMINT_LIBRARY"):
        candidates.append(os.environ["PELMINT_LIBRARY"])
    candidates.append(os.path.join(os.path.dirname(os.path.abspath(__file__)), _RUNTIME_NAME))
    candidates.append(_RUNTIME_NAME)
    errors = []
    for candidate in candidates:
        if os.sep in candidate and not os.path.exists(candidate):
            continue
        try:
            library = ctypes.CDLL(candidate)
        except OSError as error:
            errors.append(str(error))
            continue
        library.CircleAreaAverage.restype = ctypes.c_double
        library.CircleAreaAverage.argtypes = [ctypes.c_void_p] + [ctypes.c_int32] * 6
        library.CircleAreaStatistics.restype = ctypes.c_int32
        library.CircleAreaStatistics.argtypes = [
            ctypes.c_void_p, ctypes.c_int32, ctypes.c_int32, ctypes.c_ssize_t,
            ctypes.c_int32, ctypes.c_int32, ctypes.c_int32, ctypes.POINTER(_Statistics)]
        library.PelmintVersion.restype = ctypes.c_int32
        library.PelmintVersion.argtypes = []
        return library
    raise OSError("Pelmint library not found (" + "; ".join(errors or [_RUNTIME_NAME]) + ")")


_library = None


def _pelmint():
    global _library
    if _library is None:
        _library = _load()
    return _library


def _rows(image):
    """The image as a 2-D uint8 array whose pixels lie one byte apart along a row."""
    if not isinstance(image, np.ndarray):
        raise ValueError("image must be a numpy array, not %s" % type(image).__name__)
    if image.dtype != np.uint8:
        raise ValueError("image must have dtype uint8, not %s" % image.dtype)
    if image.ndim != 2:
        raise ValueError("image must be 2-D (rows, columns), not %d-D" % image.ndim)
    height, width = image.shape
    if width > 2**31 - 1 or height > 2**31 - 1:
        raise ValueError("image is too large: %d x %d" % (width, height))
    if image.strides[1] != 1 or image.strides[0] < width:
        # Columns not adjacent, or rows running backwards or overlapping: copy once.
        image = np.ascontiguousarray(image)
    return image


def _int32(name, value):
    value = int(value)
    if not -(2**31) <= value <= 2**31 - 1:
        raise ValueError("%s out of the 32-bit range: %d" % (name, value))
    return value


def circle_area_average(image, cx, cy, r):
    """Mean grey value of the pixels within radius r of (cx, cy), or -1.0 when none is inside."""
    image = _rows(image)
    cx, cy, r = _int32("cx", cx), _int32("cy", cy), _int32("r", r)
    height, width = image.shape
    if image.strides[0] != width:
        # CircleAreaAverage reads packed rows; the statistics take a stride and give the same mean.
        statistics = circle_area_statistics(image, cx, cy, r)
        return -1.0 if statistics is None else statistics.mean
    return _pelmint().CircleAreaAverage(image.ctypes.data, width, height, 8, cx, cy, r)


def circle_area_statistics(image, cx, cy, r):
    """Statistics of the pixels within radius r of (cx, cy), or None when none is inside."""
    image = _rows(image)
    cx, cy, r = _int32("cx", cx), _int32("cy", cy), _int32("r", r)
    height, width = image.shape
    result = _Statistics()
    code = _pelmint().CircleAreaStatistics(
        image.ctypes.data, width, height, image.strides[0], cx, cy, r, ctypes.byref(result))
    if code == _NO_PIXELS:
        return None
    if code != 0:
        raise ValueError("Pelmint rejected the image (code %d)" % code)
    return Statistics(result.count, result.sum, result.mean, result.stddev, result.min, result.max)


def version():
    """Pelmint's version as MAJOR * 10000 + MINOR * 100 + PATCH."""
    return _pelmint().PelmintVersion()
