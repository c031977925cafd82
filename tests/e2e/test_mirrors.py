"""URL templates tried in order under Wine against the local HTTPS server."""
import os
import zlib


def put(server, path, data: bytes):
    full = os.path.join(server.folder, path.lstrip("/"))
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as f:
        f.write(data)


def test_404_ends_a_template_while_failures_are_retried(server, probe):
    data = b"payload " * 100
    put(server, "/m2/sub/a b.txt", data)
    put(server, "/m3/sub/a b.txt", data)
    server.always("/m2/sub/a%20b.txt", "500")
    templates = [server.url(f"/m{i}/($name)") for i in (1, 2, 3)]
    lines = probe("mirrors", "sub/a b.txt", *templates)
    assert lines == [f"OK 200 {len(data)} {zlib.crc32(data):08x}"]
    assert server.paths() == ["/m1/sub/a%20b.txt"] + ["/m2/sub/a%20b.txt"] * 3 + ["/m3/sub/a%20b.txt"]


def test_every_template_failing_gives_the_last_error(server, probe):
    server.always("/m2/x", "drop")
    templates = [server.url("/m1/($name)"), server.url("/m2/($name)")]
    lines = probe("mirrors", "x", *templates)
    assert len(lines) == 1 and lines[0].startswith("FAIL 0 sem resposta de localhost (erro ")
    assert server.paths() == ["/m1/x"] + ["/m2/x"] * 3
    assert probe("mirrors", "x") == ["FAIL 0 "]


def test_stop_flag_ends_the_attempts(server, probe):
    put(server, "/m1/big", b"z" * 100000)
    lines = probe("mirrors", "--cancel", "big", server.url("/m1/($name)"), server.url("/m2/($name)"))
    assert lines == ["FAIL 200 download cancelado"]
    assert server.paths() == ["/m1/big"]
