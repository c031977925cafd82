"""The online provider's install and self-update under Wine against the local
HTTPS server: the plan, the download by the workers, faults of the server met
by the mirrors and the retry pass, and the installer's own update."""
import os

import pytest

from conftest import tool, win_path
import publish_catalog as pc

CHILDREN = {
    "Bin": {"ostrel.exe": b"MZ" + bytes(range(256)) * 40, "sub/leia-me ç.txt": "Olá, mundo\r\n".encode()},
    "Rtl": {"System.dcu": b"\x00\x01" * 3000, "vazio.txt": b""},
}


def write_tree(folder, children):
    for child, files in children.items():
        for name, data in files.items():
            path = folder / child / name
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)


@pytest.fixture
def published(server, tmp_path):
    """CHILDREN published into the server's folder, installing under the
    default root "%ProgramFiles%\\Ostrel" (re-rooted to the chosen folder)."""
    source = tmp_path / "source"
    write_tree(source, CHILDREN)
    pc.publish(str(source), server.folder, server.url(""))
    return source


@pytest.fixture
def install(wine, server, tmp_path):
    """Runs the probe's install into the test's own folder; gives its lines."""
    cache = tmp_path / "localappdata"
    cache.mkdir()
    app = tmp_path / "app"

    def run(*options):
        code, out, err = wine.run(tool("ks_install_probe"), "install", f"--localappdata={win_path(cache)}",
                                  *options, server.url("/($name)"), win_path(app))
        assert code == 0, err
        return out.splitlines()
    run.app = app
    return run


def lines_of(lines, kind):
    return [line[len(kind) + 1:] for line in lines if line.startswith(kind + " ")]


def installed_files(app):
    found = {}
    for top, _, names in os.walk(app):
        for name in names:
            path = os.path.join(top, name)
            with open(path, "rb") as f:
                found[os.path.relpath(path, app).replace(os.sep, "/")] = f.read()
    return found


def expected_files():
    return {f"{child}/{name}": data for child, files in CHILDREN.items() for name, data in files.items()}


def file_requests(server):
    return sorted(p for p in server.paths() if not p.split("/")[-1].startswith(("All.", "Bin.", "Rtl.")))


def test_install_then_nothing_left_to_do(server, published, install):
    lines = install()
    assert "INSTALLED REBOOT=0" in lines
    assert lines_of(lines, "PREPARED")[0].startswith("4 4 ")
    assert installed_files(install.app) == expected_files()
    records = lines_of(lines, "RECORD")
    for name in expected_files():
        assert "F|" + win_path(install.app / name).replace("/", "\\") in records
    assert file_requests(server) == ["/Bin/ostrel.exe", "/Bin/sub/leia-me%20%C3%A7.txt", "/Rtl/System.dcu",
                                     "/Rtl/vazio.txt"]
    statuses = lines_of(lines, "STATUS")
    assert statuses[-1].startswith("Baixando e instalando: ")
    assert statuses[-1].endswith("  (4 de 4 arquivos)")

    server.clear()
    lines = install()
    assert lines_of(lines, "SUMMARY") == ["Todos os 4 arquivos já estão instalados e atualizados."]
    assert "INSTALLED REBOOT=0" in lines
    assert file_requests(server) == []


def test_only_changed_and_missing_files_are_fetched(server, published, install):
    install()
    (install.app / "Bin" / "ostrel.exe").write_bytes(b"ZM" + bytes(range(256)) * 40)  # same size
    (install.app / "Rtl" / "System.dcu").unlink()
    server.clear()
    lines = install()
    assert lines_of(lines, "PREPARED")[0].startswith("2 4 ")
    assert lines_of(lines, "SUMMARY")[0].startswith("Arquivos a baixar: 2 de 4 (")
    assert file_requests(server) == ["/Bin/ostrel.exe", "/Rtl/System.dcu"]
    assert installed_files(install.app) == expected_files()


@pytest.mark.parametrize("fault", ["truncate", "drop", "500"])
def test_a_broken_transfer_is_tried_again(server, published, install, fault):
    server.fail("/Bin/ostrel.exe", fault)
    lines = install()
    assert "INSTALLED REBOOT=0" in lines
    assert lines_of(lines, "ASK") == []
    assert server.count("/Bin/ostrel.exe") == 2
    assert installed_files(install.app) == expected_files()


def test_wrong_bytes_go_to_the_retry_pass_and_its_questions(server, published, install):
    server.fail("/Bin/ostrel.exe", "wrong", "wrong", "wrong")
    lines = install("--answers=11")
    target = win_path(install.app / "Bin" / "ostrel.exe").replace("/", "\\")
    assert lines_of(lines, "ASK") == [f"{target}|ostrel.exe veio corrompido (SHA-256 do compactado não confere)."] * 2
    assert "INSTALLED REBOOT=0" in lines
    assert installed_files(install.app) == expected_files()

    # Without an answer the first failure of the retry pass ends the install.
    (install.app / "Bin" / "ostrel.exe").unlink()
    server.always("/Bin/ostrel.exe", "wrong")
    lines = install()
    assert lines_of(lines, "FAIL") == ["ostrel.exe veio corrompido (SHA-256 do compactado não confere)."]
    assert not (install.app / "Bin" / "ostrel.exe").exists()
    assert not (install.app / "Bin" / "ostrel.exe.ksetup.tmp").exists()


def test_a_404_at_one_mirror_moves_on_to_the_next(server, published, install):
    document = {"sources": [{"url": server.url("/gone/($name)")}, {"url": server.url("/Bin/($name)")}],
                "files": [pc.file_entry(name, data, pc.compress(data)) for name, data in CHILDREN["Bin"].items()]}
    pc.publish_document(server.folder, "Bin.Inf.hash", pc.to_json(document))
    lines = install()
    assert "INSTALLED REBOOT=0" in lines
    assert server.count("/gone/ostrel.exe") == 1
    assert server.count("/Bin/ostrel.exe") == 1
    assert installed_files(install.app) == expected_files()


def test_a_name_that_climbs_out_makes_the_catalogue_invalid(server, published, install, tmp_path):
    data = b"nao devia estar aqui"
    with open(os.path.join(server.folder, "evil.txt"), "wb") as f:
        f.write(pc.compress(data))
    document = {"sources": [{"url": server.url("/Bin/($name)")}],
                "files": [pc.file_entry("../../evil.txt", data, pc.compress(data))]}
    pc.publish_document(server.folder, "Bin.Inf.hash", pc.to_json(document))
    lines = install()
    assert lines_of(lines, "FAIL") == ['catálogo Bin inválido: nome de arquivo não permitido: "../../evil.txt"']
    assert not (tmp_path / "evil.txt").exists()
    assert not install.app.exists()


@pytest.fixture
def update(wine, server, tmp_path):
    """Publishes an "Update" catalogue holding installer; gives a runner of
    the self-update check for a running executable with some content."""
    def publish(installer):
        source = tmp_path / "update-source"
        write_tree(source, {"Update": {"OstrelDaxSetup.exe": installer}})
        pc.publish(str(source), server.folder, server.url(""))

    cache = tmp_path / "localappdata"
    cache.mkdir()
    running = tmp_path / "running.exe"

    def run(content):
        running.write_bytes(content)
        code, out, err = wine.run(tool("ks_install_probe"), "selfupdate", f"--localappdata={win_path(cache)}",
                                  server.url("/($name)"), win_path(running))
        assert code == 0, err
        return out.splitlines()
    run.publish = publish
    run.folder = cache / "Ostrel" / "SetupCache" / "Update"
    return run


def test_self_update_downloads_another_installer_once(server, update):
    update.publish(b"MZ instalador 2.0")
    assert update(b"MZ instalador 2.0")[-1] == "NOUPDATE"
    assert server.count("/Update/OstrelDaxSetup.exe") == 0

    lines = update(b"MZ instalador 1.0")  # same size, another hash
    assert lines[-1] == "UPDATE " + win_path(update.folder / "OstrelDaxSetup.exe").replace("/", "\\")
    assert "STATUS Baixando a versão mais nova do instalador..." in lines
    assert (update.folder / "OstrelDaxSetup.exe").read_bytes() == b"MZ instalador 2.0"

    server.clear()
    lines = update(b"MZ instalador 1.0")
    assert lines[-1].startswith("UPDATE ")
    assert server.count("/Update/OstrelDaxSetup.exe") == 0
    assert "STATUS Baixando a versão mais nova do instalador..." not in lines


def test_no_update_catalogue_no_update(server, published, update):
    assert update(b"MZ qualquer")[-1] == "NOUPDATE"
