"""A PLC-side client of another make, pymodbus, against gavrel-station's Modbus server: it
triggers judgements and reads each result by the documented map."""

import os
import signal
import socket
import subprocess
import time

import pytest
from pymodbus.client import ModbusTcpClient

STATION = os.environ["GAVREL_STATION"]

# The documented map.
TRIGGER_COIL = 0
READY, BUSY, RESULT_VALID, PART_OK, PART_NG, ERROR = 0, 1, 2, 3, 4, 5
SEQUENCE_HIGH, SEQUENCE_LOW, VERDICT, CIRCLES, MEAN = 0, 1, 2, 3, 4
PIXELS_HIGH, PIXELS_LOW, RECIPE_SLOT = 8, 9, 14


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


@pytest.fixture
def station(tmp_path):
    (tmp_path / "cap.gavrel-recipe").write_text(
        '{"format":"gavrel-recipe","version":1,"name":"cap","slot":3,'
        '"circle":{"x":256,"y":240,"r":40},"standard":16,"tolerance":5}')
    (tmp_path / "camera.ini").write_text(
        "[Video]\nPipeline=videotestsrc pattern=black is-live=true ! "
        "video/x-raw,framerate=60/1\n")
    port = free_port()
    (tmp_path / "station.conf").write_text(
        "[station]\nname=line-1\nmode=triggered\n"
        f"recipe={tmp_path / 'cap.gavrel-recipe'}\ncamera={tmp_path / 'camera.ini'}\n"
        f"record=sqlite://{tmp_path / 'records.sqlite'}\nstate={tmp_path / 'state'}\n"
        f"[modbus]\nenabled=true\naddress=127.0.0.1\nport={port}\nunit=1\n")
    process = subprocess.Popen([STATION, "--config", str(tmp_path / "station.conf")],
                               stderr=subprocess.PIPE, text=True,
                               env=dict(os.environ, HOME=str(tmp_path)))
    client = ModbusTcpClient("127.0.0.1", port=port, timeout=2)
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        if client.connect():
            bits = client.read_discrete_inputs(READY, 1, slave=1)
            if not bits.isError() and bits.bits[0]:
                break
        time.sleep(0.1)
    else:
        process.kill()
        pytest.fail("the station never became ready: " + process.stderr.read())
    yield client
    client.close()
    process.send_signal(signal.SIGTERM)
    code = process.wait(timeout=5)
    assert code == 0, process.stderr.read()


def sequence(client):
    registers = client.read_input_registers(SEQUENCE_HIGH, 2, slave=1).registers
    return registers[0] << 16 | registers[1]


def test_a_trigger_gives_one_new_judgement_read_by_the_map(station):
    client = station
    for _ in range(5):
        before = sequence(client)
        assert not client.write_coil(TRIGGER_COIL, True, slave=1).isError()
        deadline = time.monotonic() + 5
        while sequence(client) == before and time.monotonic() < deadline:
            time.sleep(0.005)
        assert sequence(client) == before + 1
        registers = client.read_input_registers(SEQUENCE_HIGH, 15, slave=1).registers
        bits = client.read_discrete_inputs(READY, 5, slave=1).bits
        # A black frame: mean 16 (limited-range black) judged OK against 16 ± 5.
        assert registers[VERDICT] == 1
        assert registers[CIRCLES] == 1
        assert abs(registers[MEAN] - 1600) <= 100
        assert (registers[PIXELS_HIGH] << 16 | registers[PIXELS_LOW]) > 4000
        assert registers[RECIPE_SLOT] == 3
        assert bits[RESULT_VALID] and bits[PART_OK] and not bits[PART_NG]


def test_bad_requests_get_the_protocols_exceptions(station):
    client = station
    beyond = client.read_input_registers(1000, 2, slave=1)
    assert beyond.isError() and beyond.exception_code == 2
    for request, code in [
        (lambda: client.read_holding_registers(1, 1, slave=1), 2),  # past the one register
        (lambda: client.read_holding_registers(0, 200, slave=1), 3),  # more than a frame holds
        (lambda: client.read_coils(0, 0, slave=1), 3),  # no coil at all
    ]:
        answer = request()
        assert answer.isError() and answer.exception_code == code


def test_an_unknown_recipe_slot_sets_the_error_bit_and_keeps_the_recipe(station):
    client = station
    assert not client.write_register(0, 999, slave=1).isError()  # no recipe has slot 999
    deadline = time.monotonic() + 5
    while not client.read_discrete_inputs(ERROR, 1, slave=1).bits[0]:
        assert time.monotonic() < deadline, "the error bit never came"
        time.sleep(0.01)
    assert client.read_input_registers(RECIPE_SLOT, 1, slave=1).registers[0] == 3
