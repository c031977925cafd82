"""Catalogues and their download cache under Wine against the local HTTPS
server, published by scripts/publish_catalog.py."""
import json
import os
import zlib

import pytest

from conftest import win_path
import publish_catalog as pc

CHILDREN = {
    "Bin": {"ostrel.exe": b"MZ" + bytes(range(256)) * 40, "sub/leia-me ç.txt": "Olá, mundo\r\n".encode()},
    "Rtl": {"System.dcu": b"\x00\x01" * 3000},
}


@pytest.fixture
def published(server, tmp_path):
    """The tree of CHILDREN published into the server's folder."""
    source = tmp_path / "source"
    for child, files in CHILDREN.items():
        for name, data in files.items():
            path = source / child / name
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
    pc.publish(str(source), server.folder, server.url(""))
    return source


@pytest.fixture
def cache(tmp_path):
    """A LOCALAPPDATA of the test's own; the cache is its Ostrel\\SetupCache."""
    folder = tmp_path / "localappdata"
    folder.mkdir()
    return folder


def cache_file(cache, name):
    return cache / "Ostrel" / "SetupCache" / name


def load(probe, server, cache, *options):
    return probe("load", f"--localappdata={win_path(cache)}", *options, server.url("/($name)"))


def document(server, child):
    with open(os.path.join(server.folder, child + ".Inf"), "rb") as f:
        return json.loads(zlib.decompress(f.read()))


def expected_catalogs(server):
    lines = [f"LOADED {len(CHILDREN)} ONLINE"]
    for child in CHILDREN:
        doc = document(server, child)
        lines.append(f"CATALOG {child}|C:\\Program Files\\Ostrel\\{child}|{server.url('')}/{child}/($name)|"
                     f"{len(doc['files'])}")
        lines += [f"FILE {f['name']}|{f['size']}|{f['hash.sha256']}|{f['zsize']}|{f['zhash.sha256']}"
                  for f in doc["files"]]
    return lines


def statuses(lines):
    return [line[len("STATUS "):] for line in lines if line.startswith("STATUS ")]


def results(lines):
    return [line for line in lines if not line.startswith("STATUS ")]


def republish(server, descriptor_name, document_value):
    """Publishes a hand-made document under a descriptor name."""
    return pc.publish_document(server.folder, descriptor_name, pc.to_json(document_value))


def test_cold_then_warm_load(server, published, cache, probe):
    lines = load(probe, server, cache)
    assert results(lines) == expected_catalogs(server)
    assert statuses(lines) == [
        "Verificando o catálogo All.Inf.hash...", "Baixando o catálogo All.Inf...",
        "Verificando o catálogo Bin.Inf.hash...", "Baixando o catálogo Bin.Inf...",
        "Verificando o catálogo Rtl.Inf.hash...", "Baixando o catálogo Rtl.Inf...",
    ]
    assert server.paths() == ["/All.Inf.hash", "/All.Inf", "/Bin.Inf.hash", "/Bin.Inf", "/Rtl.Inf.hash", "/Rtl.Inf"]
    # One connection serves the whole load.
    assert {r.connection for r in server.requests} == {1}
    for name in ("All.Inf.hash", "All.Inf.json", "Bin.Inf.hash", "Bin.Inf.json", "Rtl.Inf.hash", "Rtl.Inf.json"):
        assert cache_file(cache, name).is_file(), name

    server.clear()
    lines = load(probe, server, cache)
    assert results(lines) == expected_catalogs(server)
    assert server.paths() == ["/All.Inf.hash", "/Bin.Inf.hash", "/Rtl.Inf.hash"]


def test_corrupt_cached_document_is_fetched_again(server, published, cache, probe):
    load(probe, server, cache)
    cached = cache_file(cache, "Bin.Inf.json")
    good = cached.read_bytes()
    cached.write_bytes(good.replace(b"ostrel.exe", b"ostrel.EXE"))  # same size, other digest
    cache_file(cache, "Rtl.Inf.json").write_bytes(b"{")  # no longer what the descriptor says
    server.clear()
    assert results(load(probe, server, cache)) == expected_catalogs(server)
    assert server.paths() == ["/All.Inf.hash", "/Bin.Inf.hash", "/Bin.Inf", "/Rtl.Inf.hash", "/Rtl.Inf"]
    assert cached.read_bytes() == good


def test_offline_from_a_filled_cache_and_from_an_empty_one(server, published, cache, probe, tmp_path):
    load(probe, server, cache)
    server.stop()
    assert results(load(probe, server, cache)) == [f"LOADED {len(CHILDREN)} OFFLINE"] + expected_catalogs(server)[1:]

    empty = tmp_path / "empty"
    empty.mkdir()
    lines = results(load(probe, server, empty))
    assert lines == ["FAIL não consegui baixar All.Inf.hash (sem resposta de localhost (erro 12029)) e não há "
                     "cópia no cache. Verifique a conexão com a internet."]


def test_offline_without_a_cached_document(server, published, cache, probe):
    load(probe, server, cache)
    cache_file(cache, "Rtl.Inf.json").unlink()
    server.stop()
    assert results(load(probe, server, cache)) == ["FAIL sem conexão e o catálogo Rtl.Inf.json não está no cache."]


def test_damaged_compressed_catalogue(server, published, cache, probe):
    server.always("/Bin.Inf", "wrong")
    assert results(load(probe, server, cache)) == [
        "FAIL Bin.Inf veio corrompido (tamanho ou SHA-256 não conferem)."]
    # A stream whose digest matches its descriptor but that does not inflate.
    server.clear()
    packed = b"\x78\x9c" + b"\xff" * 40
    with open(os.path.join(server.folder, "Bin.Inf"), "wb") as f:
        f.write(packed)
    descriptor = {"name": "Bin.Inf.json", "size": 10, "hash.sha256": pc.digest(b"x" * 10),
                  "zsize": len(packed), "zhash.sha256": pc.digest(packed)}
    with open(os.path.join(server.folder, "Bin.Inf.hash"), "wb") as f:
        f.write(pc.to_json(descriptor))
    lines = results(load(probe, server, cache))
    assert len(lines) == 1 and lines[0].startswith("FAIL não consegui descompactar Bin.Inf: "), lines


def test_a_bad_download_keeps_the_cache_usable_offline(server, published, cache, probe, tmp_path):
    load(probe, server, cache)
    # The catalogue changes, and the new document arrives damaged.
    republish(server, "Rtl.Inf.hash", {"sources": [], "files": [{"name": "new.dcu", "size": 1}]})
    server.always("/Rtl.Inf", "wrong")
    assert results(load(probe, server, cache)) == [
        "FAIL Rtl.Inf veio corrompido (tamanho ou SHA-256 não conferem)."]
    server.stop()
    lines = results(load(probe, server, cache))
    assert lines[0] == f"LOADED {len(CHILDREN)} OFFLINE"


def test_child_descriptor_changed_since_the_index(server, published, cache, probe):
    path = os.path.join(server.folder, "Rtl.Inf.hash")
    with open(path, "ab") as f:
        f.write(b"\n")
    lines = load(probe, server, cache)
    assert "aviso: Rtl.Inf.hash difere do que o catálogo pai descreve (atualizado depois?)" in statuses(lines)
    assert results(lines) == expected_catalogs(server)


@pytest.mark.parametrize("child_name, descriptor_name, error", [
    ("../Bin.Inf.hash", None, 'All.Inf.json inválido: "../Bin.Inf.hash" não é um nome de arquivo simples'),
    ("C:Bin.Inf.hash", None, 'All.Inf.json inválido: "C:Bin.Inf.hash" não é um nome de arquivo simples'),
    ("Bin.Inf.hash", "..\\..\\Bin.Inf.json", 'Bin.Inf.hash inválido: "..\\..\\Bin.Inf.json" não é um nome de '
                                             'arquivo simples'),
    ("Bin.Inf.hash", "sub/Bin.Inf.json", 'Bin.Inf.hash inválido: "sub/Bin.Inf.json" não é um nome de arquivo simples'),
    # The refusal goes into the log: a name must not break it into lines.
    ("Bin\r\nX.Inf.hash", None, 'All.Inf.json inválido: "Bin??X.Inf.hash" não é um nome de arquivo simples'),
    ("Bin.Inf.hash", "Bin\r\nX.Inf.json", 'Bin.Inf.hash inválido: "Bin??X.Inf.json" não é um nome de arquivo simples'),
])
def test_names_that_leave_the_cache_are_refused(server, cache, probe, child_name, descriptor_name, error):
    child = {"name": descriptor_name or "Bin.Inf.json", "size": 2, "hash.sha256": pc.digest(b"{}"),
             "zsize": 0, "zhash.sha256": ""}
    with open(os.path.join(server.folder, os.path.basename(child_name)), "wb") as f:
        f.write(pc.to_json(child))
    republish(server, "All.Inf.hash", {"files": [{"name": child_name}]})
    assert results(load(probe, server, cache)) == ["FAIL " + error]
    assert sorted(os.listdir(cache / "Ostrel" / "SetupCache")) == ["All.Inf.hash", "All.Inf.json"]
    assert not (cache / "Ostrel" / "Bin.Inf.json").exists() and not (cache / "Bin.Inf.json").exists()


def test_index_without_files(server, cache, probe):
    republish(server, "All.Inf.hash", {"sources": []})
    assert results(load(probe, server, cache)) == ['FAIL All.Inf.json sem a lista "files"']


def test_a_cancel_does_not_outlive_its_load(server, published, cache, probe):
    lines = results(load(probe, server, cache, "--cancel-first"))
    assert lines[0] == "FIRST FAIL Instalação cancelada."
    assert lines[1:] == expected_catalogs(server)
