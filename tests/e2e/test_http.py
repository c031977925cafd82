"""The HTTP client under Wine against the local HTTPS server."""
import zlib


def ok_line(data: bytes) -> str:
    return f"OK 200 {len(data)} {zlib.crc32(data):08x}"


def serve(server, name, data: bytes):
    path = server.folder + "/" + name
    with open(path, "wb") as f:
        f.write(data)
    return server.url("/" + name)


def test_bodies_arrive_whole_over_one_reused_connection(server, probe):
    small = bytes(range(256)) * 3
    large = bytes((i * 7919) & 0xFF for i in range(3 * 1048576 + 5))  # more than one read call
    urls = [serve(server, "small.bin", small), serve(server, "large.bin", large), serve(server, "empty.bin", b"")]
    # The host's letter case does not matter for reuse.
    urls.append(urls[0].replace("localhost", "LOCALHOST"))
    assert probe("get", *urls) == [ok_line(small), ok_line(large), ok_line(b""), ok_line(small)]
    assert {r.connection for r in server.requests} == {1}


def test_body_without_content_length(server, probe):
    data = bytes((i * 31) & 0xFF for i in range(200000))
    url = serve(server, "stream.bin", data)
    server.fail("/stream.bin", "nolength")
    assert probe("get", url) == [ok_line(data)]


def test_status_other_than_200_keeps_the_connection(server, probe):
    url = serve(server, "a.bin", b"abc")
    missing = server.url("/nothing/here?x=1")
    server.fail("/a.bin", "500")
    assert probe("get", missing, url, url) == [
        f"FAIL 404 HTTP 404 em {missing}",
        f"FAIL 500 HTTP 500 em {url}",
        ok_line(b"abc"),
    ]
    assert server.requests[0].path == "/nothing/here?x=1"


def test_broken_answers_close_the_connection(server, probe):
    data = bytes(range(256)) * 1000
    url = serve(server, "b.bin", data)
    server.fail("/b.bin", "drop", "truncate")
    lines = probe("get", url, url, url)
    assert lines[0].startswith("FAIL 0 sem resposta de localhost (erro ")
    assert lines[1] == "FAIL 200 conexão interrompida durante o download (erro 12030)"
    assert lines[2] == ok_line(data)
    assert [r.connection for r in server.requests] == [1, 2, 3]


def test_body_larger_than_expected_is_refused(server, probe):
    data = b"x" * 100000
    url = serve(server, "big.bin", data)
    server.fail("/big.bin", "nolength")
    # First without a Content-Length, then with one.
    assert probe("get", "--max=99999", url, url) == [
        f"FAIL 200 resposta maior que o esperado (99999 bytes) em {url}",
        f"FAIL 200 resposta maior que o esperado (99999 bytes) em {url}",
    ]
    assert probe("get", "--max=100000", url) == [ok_line(data)]


def test_cancel_from_the_progress_callback(server, probe):
    url = serve(server, "c.bin", b"y" * 5000)
    assert probe("get", "--cancel", url) == ["FAIL 200 download cancelado"]


def test_refused_and_malformed_urls(server, probe):
    port = server.port
    server.stop()
    lines = probe("get", f"https://localhost:{port}/x", "ftp://localhost/x")
    assert lines[0].startswith("FAIL 0 sem resposta de localhost (erro ")
    assert lines[1] == "FAIL 0 URL inválida: ftp://localhost/x"
